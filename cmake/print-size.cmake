# Prints the size of a built binary, so that every build log records it.
file(SIZE "${FILE}" size)
math(EXPR kib "${size} / 1024")
message(STATUS "${NAME} binary: ${FILE}: ${size} bytes (${kib} KiB)")
