# Run by CPack once the packages are built, to mend what CPack gets wrong for Debian:
# - it adds a postinst and a postrm calling ldconfig to any package with a shared library below
#   /usr/lib, even one in a private folder that ldconfig never reads, such as /usr/lib/lumen-quill;
#   the package needs no maintainer script at all, so they are taken out again;
# - the debug symbols' package lists its files by their path on the build machine in md5sums,
#   and has no copyright file or changelog: it gets md5sums of its own files and shares the
#   documentation of the package it belongs to, as Debian's own debug packages do.
find_program(DPKG_DEB dpkg-deb REQUIRED)
if(NOT CPACK_DEBIAN_COMPRESSION_TYPE)
    set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
endif()

function(write_md5sums tree)
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${tree}" "${tree}/usr/*")
    list(SORT files)
    set(sums "")
    foreach(f IN LISTS files)
        if(NOT IS_SYMLINK "${tree}/${f}")
            file(MD5 "${tree}/${f}" sum)
            string(APPEND sums "${sum}  ${f}\n")
        endif()
    endforeach()
    file(WRITE "${tree}/DEBIAN/md5sums" "${sums}")
endfunction()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.d?deb$")
        continue()
    endif()
    set(tree "${package}.tree")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND ${DPKG_DEB} --raw-extract "${package}" "${tree}"
        COMMAND_ERROR_IS_FATAL ANY)
    if(package MATCHES "\\.ddeb$")
        file(MAKE_DIRECTORY "${tree}/usr/share/doc")
        file(CREATE_LINK ${CPACK_PACKAGE_NAME} "${tree}/usr/share/doc/${CPACK_PACKAGE_NAME}-dbgsym" SYMBOLIC)
        write_md5sums("${tree}")
    else()
        file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
    endif()
    execute_process(
        COMMAND ${DPKG_DEB} --root-owner-group -Z${CPACK_DEBIAN_COMPRESSION_TYPE} --build "${tree}" "${package}"
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${tree}")
endforeach()
