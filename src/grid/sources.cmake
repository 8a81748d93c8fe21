# Grid editor sources, added to vendaro_gui.
target_sources(vendaro_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/clscolumnasgrid.h
    ${CMAKE_CURRENT_LIST_DIR}/codigotecla.cpp
    ${CMAKE_CURRENT_LIST_DIR}/codigotecla.h
    ${CMAKE_CURRENT_LIST_DIR}/ediciongrid.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ediciongrid.h
    ${CMAKE_CURRENT_LIST_DIR}/ediciongrid_dueno.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ediciongrid_editores.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ediciongrid_renglones.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formatotexto.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formatotexto.h
    ${CMAKE_CURRENT_LIST_DIR}/zonafija.cpp
    ${CMAKE_CURRENT_LIST_DIR}/zonafija.h
)
