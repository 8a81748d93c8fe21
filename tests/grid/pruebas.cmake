# Grid editor tests (window tests: GUI).
vendaro_prueba(pruebas_grid GUI
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/duenodemo.cpp
        ${CMAKE_CURRENT_LIST_DIR}/duenodemo.h
        ${CMAKE_CURRENT_LIST_DIR}/pruebareja.h
        ${CMAKE_CURRENT_LIST_DIR}/ediciongrid_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/teclasreja_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/formatotexto_test.cpp
    LIBS vendaro_gui Qt6::Test)
