# What `cmake --install` puts under the prefix: the programs, the desktop entry with its icon,
# and a manual page for each program (scdoc turns their sources into roff at build time).
include(GNUInstallDirs)

install(TARGETS brivox brivox-cli brivox-devsim brivox-trace
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/data/brivox.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

set(BRIVOX_ICON_SOURCE ${PROJECT_SOURCE_DIR}/data/icons/brivox.svg)
install(FILES ${BRIVOX_ICON_SOURCE}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(SCDOC scdoc REQUIRED)
set(BRIVOX_GENERATED_DATA)

foreach(size 16 24 32 48 64 128 256)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/brivox.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${BRIVOX_ICON_SOURCE}
        DEPENDS ${BRIVOX_ICON_SOURCE}
        COMMENT "Icon ${size}x${size}"
        VERBATIM)
    list(APPEND BRIVOX_GENERATED_DATA ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

foreach(page brivox brivox-cli brivox-devsim brivox-trace)
    set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.1.scd)
    set(roff ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${roff}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND sh -c "\"$1\" < \"$2\" | gzip -9n > \"$3\"" scdoc ${SCDOC} ${source} ${roff}
        DEPENDS ${source}
        COMMENT "Manual page ${page}(1)"
        VERBATIM)
    list(APPEND BRIVOX_GENERATED_DATA ${roff})
    install(FILES ${roff} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

add_custom_target(brivox_data ALL DEPENDS ${BRIVOX_GENERATED_DATA})
