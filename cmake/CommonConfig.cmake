# Compiler settings shared by every target of the project.

add_compile_options(-Wall -Wextra -Wpedantic -Werror -pthread)

# One compile per batch of sources: most of a translation unit's time is spent parsing Qt's
# headers, so the test command's builds take less than half the CPU time. Off for day-to-day
# work, where a change should recompile one file, not its batch.
option(TAVIX_UNITY_BUILD "Compile the sources in batches" OFF)
if(TAVIX_UNITY_BUILD)
    set(CMAKE_UNITY_BUILD ON)
    set(CMAKE_UNITY_BUILD_BATCH_SIZE 16)
    # A test fixture in an unnamed namespace is fine in its own file; batched, GCC takes the
    # file for a header and warns.
    add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wno-subobject-linkage>)
endif()
add_link_options(-pthread)
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Woverloaded-virtual> $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
add_compile_definitions(
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
)

if(CMAKE_BUILD_TYPE MATCHES "Debug|RelWithDebInfo" OR TAVIX_BUILD_TESTS)
    add_compile_definitions(_GLIBCXX_ASSERTIONS)
endif()

if(TAVIX_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(TAVIX_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT TAVIX_SANITIZE STREQUAL "")
    message(FATAL_ERROR "Unknown TAVIX_SANITIZE value '${TAVIX_SANITIZE}'")
endif()

# Every library lands next to the application so that build/tavix is the app.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
