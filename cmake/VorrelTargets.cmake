# Helpers shared by every target of the project.

# Warnings on every target of ours; -Werror only where asked (CI).
function(vorrel_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local
                                             -Wnon-virtual-dtor -Wno-missing-field-initializers)
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

# Puts an executable into the prefix's bin/ folder.
function(vorrel_program target)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${VORREL_PREFIX_DIR}/bin")
    vorrel_warnings(${target})
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
