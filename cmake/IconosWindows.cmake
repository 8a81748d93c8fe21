# The Windows build's artwork: PNG renderings of the SVGs for the resources, vendaro.ico (16 to 256
# pixels) for the executable, the installer and the Start-menu entry, and the .rc that puts it and
# the version into vendaro.exe. rsvg-convert and icotool come from Debian (librsvg2-bin, icoutils).
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)

function(vendaro_renderizar_arte objetivo carpeta)
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/arte)
    set(archivos)
    foreach(nombre ${ARGN})
        set(png ${dir}/${nombre}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
            COMMAND ${RSVG_CONVERT} --zoom=2 -o ${png} ${carpeta}/${nombre}.svg
            DEPENDS ${carpeta}/${nombre}.svg VERBATIM)
        set_source_files_properties(${png} PROPERTIES QT_RESOURCE_ALIAS ${nombre}.svg)
        list(APPEND archivos ${png})
    endforeach()
    qt_add_resources(${objetivo} "recursos" PREFIX "/vendaro" BASE ${dir} FILES ${archivos})

    set(tamanos 16 24 32 48 64 256)
    set(capas)
    foreach(t ${tamanos})
        add_custom_command(OUTPUT ${dir}/icono-${t}.png
            COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
            COMMAND ${RSVG_CONVERT} -w ${t} -h ${t} -o ${dir}/icono-${t}.png ${carpeta}/vendaro.svg
            DEPENDS ${carpeta}/vendaro.svg VERBATIM)
        list(APPEND capas ${dir}/icono-${t}.png)
    endforeach()
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/vendaro.ico
        COMMAND ${ICOTOOL} -c -o ${CMAKE_BINARY_DIR}/vendaro.ico ${capas}
        DEPENDS ${capas} VERBATIM)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/vendaro.rc.in ${CMAKE_CURRENT_BINARY_DIR}/vendaro.rc @ONLY)
    set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/vendaro.rc PROPERTIES
        OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/vendaro.ico)
endfunction()
