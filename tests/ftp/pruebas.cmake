# FTP client tests.
vendaro_prueba(pruebas_ftp SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/clsftp_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/destino_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/listado_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/servidor_propio.cpp ${CMAKE_CURRENT_LIST_DIR}/servidor_propio.h
    ${CMAKE_CURRENT_LIST_DIR}/servidores_propios_test.cpp
)
# Tests start odd servers of their own (dropping, silent, implicit TLS, SFTP) from this script.
target_compile_definitions(pruebas_ftp PRIVATE
    VENDARO_SERVIDOR_FTP="${PROJECT_SOURCE_DIR}/scripts/ftp_server.py")
# A certificate of a test's own is made with OpenSSL's library.
find_package(OpenSSL REQUIRED)
target_link_libraries(pruebas_ftp PRIVATE OpenSSL::Crypto)
