# Compiler settings shared by every target of the project.

add_compile_options(-Wall -Wextra -Wpedantic -Werror -pthread)
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
