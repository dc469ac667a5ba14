# Prints the size of the built binary, so that every build log records it.
file(SIZE "${FILE}" size)
math(EXPR kib "${size} / 1024")
message(STATUS "tapbridge binary: ${FILE}: ${size} bytes (${kib} KiB)")
