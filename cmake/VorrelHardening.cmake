# The hardening Debian builds its packages with (dpkg-buildflags): position-independent
# executables, read-only relocations bound at start, and in optimised builds fortified libc
# calls, the stack protector and stack-clash protection. The programs and the plug-in read
# hostile files.
#
# Debug builds keep their plain code (no optimiser: _FORTIFY_SOURCE would do nothing), and
# the sanitizer builds do without it (AddressSanitizer checks those calls itself).
option(VORREL_HARDENING "Build with Debian's hardening flags" ON)

if(VORREL_HARDENING AND NOT VORREL_SANITIZE)
    set(_optimised "$<NOT:$<CONFIG:Debug>>")
    add_compile_options("$<${_optimised}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>"
                        "$<${_optimised}:-fstack-protector-strong;-fstack-clash-protection>")
    add_link_options(LINKER:-z,relro LINKER:-z,now)
    # CMAKE_POSITION_INDEPENDENT_CODE compiles with -fPIE; this links the programs with -pie.
    include(CheckPIESupported)
    check_pie_supported()
endif()
