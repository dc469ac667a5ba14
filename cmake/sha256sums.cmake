# Run by CPack once the files are staged, before they are archived: writes
# SHA256SUMS beside bin/, one "HASH  PATH" line a file, in the form that
# "sha256sum -c SHA256SUMS" checks after unpacking.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${root}" "${root}/*")
list(REMOVE_ITEM files SHA256SUMS)
list(SORT files)
set(sums "")
foreach(f IN LISTS files)
  file(SHA256 "${root}/${f}" hash)
  string(APPEND sums "${hash}  ${f}\n")
endforeach()
file(WRITE "${root}/SHA256SUMS" "${sums}")
