# Helpers shared by every target of the project.

# Warnings on every target of ours; -Werror only where asked (CI).
function(vorrel_warnings target)
    # -Wshadow=local is GCC's; libseccomp's argument macros are C literals clang warns about.
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
                                             $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
                                             -Wnon-virtual-dtor -Wno-missing-field-initializers
                                             $<$<CXX_COMPILER_ID:Clang>:-Wno-c99-extensions>)
    if(VORREL_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# vorrel_library(NAME folder-name [QT] SOURCES ... PUBLIC_LIBS ... PRIVATE_LIBS ...)
# A static library vorrel_<name> with the alias vorrel::<name>. Its include root is src/,
# so headers are included as "logbook/Logbook.h".
function(vorrel_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
    set(compiled ${ARG_SOURCES})
    list(FILTER compiled INCLUDE REGEX "\\.cpp$")
    if(NOT compiled)  # headers only (or nothing yet)
        add_library(vorrel_${name} INTERFACE ${ARG_SOURCES})
        add_library(vorrel::${name} ALIAS vorrel_${name})
        target_include_directories(vorrel_${name} INTERFACE "${PROJECT_SOURCE_DIR}/src"
                                                            "${PROJECT_BINARY_DIR}/generated")
        target_link_libraries(vorrel_${name} INTERFACE ${ARG_PUBLIC_LIBS})
        return()
    endif()
    add_library(vorrel_${name} STATIC ${ARG_SOURCES})
    add_library(vorrel::${name} ALIAS vorrel_${name})
    target_include_directories(vorrel_${name} PUBLIC "${PROJECT_SOURCE_DIR}/src"
                                                     "${PROJECT_BINARY_DIR}/generated")
    target_link_libraries(vorrel_${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
    vorrel_warnings(vorrel_${name})
endfunction()

# vorrel_program(<target> [MANUAL])
# Puts an executable into the prefix's bin/ folder and installs it; MANUAL installs its
# manual page too (vorrel_manual_page).
function(vorrel_program target)
    cmake_parse_arguments(ARG "MANUAL" "" "" ${ARGN})
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${VORREL_PREFIX_DIR}/bin")
    vorrel_warnings(${target})
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    if(ARG_MANUAL)
        vorrel_manual_page(${target})
    endif()
endfunction()

# vorrel_manual_page(<name>)
# resources/man/<name>.1.in with the version and the team prefix filled in, compressed the
# way Debian keeps manual pages (gzip -9n: no file name, no time stamp, so the same bytes
# every build) and installed as share/man/man1/<name>.1.gz.
function(vorrel_manual_page name)
    set(page "${PROJECT_BINARY_DIR}/man/${name}.1")
    configure_file("${PROJECT_SOURCE_DIR}/resources/man/${name}.1.in" "${page}" @ONLY)
    add_custom_command(OUTPUT "${page}.gz"
        COMMAND gzip -9nkf "${page}"
        DEPENDS "${page}"
        VERBATIM)
    add_custom_target(${name}_manual ALL DEPENDS "${page}.gz")
    install(FILES "${page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endfunction()
