# CPack runs this on the staged files before packing them: removes the .comment and .note
# sections from the kelvane program, which CPACK_STRIP_FILES leaves.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/kelvane")
if(NOT programs)
    message(FATAL_ERROR "no bin/kelvane under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(program IN LISTS programs)
    execute_process(COMMAND "${CPACK_KELVANE_STRIP}" --remove-section=.comment
        --remove-section=.note "${program}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
