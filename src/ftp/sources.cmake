# FTP client sources, added to vendaro_core.
target_sources(vendaro_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/cdiritem.cpp ${CMAKE_CURRENT_LIST_DIR}/cdiritem.h
    ${CMAKE_CURRENT_LIST_DIR}/cdirlist.cpp ${CMAKE_CURRENT_LIST_DIR}/cdirlist.h
    ${CMAKE_CURRENT_LIST_DIR}/clsftp.cpp ${CMAKE_CURRENT_LIST_DIR}/clsftp.h
    ${CMAKE_CURRENT_LIST_DIR}/destino_ftp.cpp ${CMAKE_CURRENT_LIST_DIR}/destino_ftp.h
    ${CMAKE_CURRENT_LIST_DIR}/listado_ftp.cpp ${CMAKE_CURRENT_LIST_DIR}/listado_ftp.h
    ${CMAKE_CURRENT_LIST_DIR}/sesion_curl.cpp ${CMAKE_CURRENT_LIST_DIR}/sesion_curl.h
)
