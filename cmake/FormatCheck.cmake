# Registers a test that fails when a tracked C++ file differs from what clang-format makes of it.
find_program(CLANG_FORMAT clang-format)
if(CLANG_FORMAT AND VEXILO_BUILD_TESTS)
    add_test(NAME clang_format_check
        COMMAND ${CMAKE_COMMAND} -DCLANG_FORMAT=${CLANG_FORMAT} -DROOT=${PROJECT_SOURCE_DIR}
                -P ${PROJECT_SOURCE_DIR}/cmake/RunFormatCheck.cmake)
endif()
