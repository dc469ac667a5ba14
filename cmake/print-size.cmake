# Prints the size of a built binary, so that every build log records it, and
# says why the static link warns about getaddrinfo.
file(SIZE "${FILE}" size)
math(EXPR kib "${size} / 1024")
message(STATUS "${NAME} binary: ${FILE}: ${size} bytes (${kib} KiB)")
# The X library can reach a display by host name. A static glibc resolves
# names through modules of its own version loaded at run time, so the linker
# warns; tapbridge's displays are local (:0) or numeric, which need none.
message(STATUS "The linker's warning above, 'Using getaddrinfo in statically linked applications', is expected: "
               "only an X display named by host name (host:0) needs it, and local or numeric ones work "
               "(README, \"Why static\").")
