# Build conventions shared by every folder.
#
#   kx_library(name SOURCES a.cpp ... [WIN_SOURCES w.cpp ...] [NATIVE_SOURCES n.cpp ...]
#              [LIBS ...] [WIN_LIBS ...])
#       A static library of one subsystem. SOURCES are portable and build in
#       both trees; WIN_SOURCES and WIN_LIBS only in the Windows tree;
#       NATIVE_SOURCES (the native stand-ins of Win32 services) only natively.
#   kx_fuzzer(name SOURCE f.cpp LIBS ... [CORPUS dir] [SECONDS n])
#       A fuzz target (LLVMFuzzerTestOneInput) linked with the bounded random
#       driver and registered as a native unit test that runs for a few seconds.

option(KX_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

set(KX_WARNINGS -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)

if(KX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

if(WIN32)
  # The ANSI API throughout; no min/max macros; Windows 10 is the oldest target.
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
endif()

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

function(kx_library name)
  cmake_parse_arguments(A "" "" "SOURCES;WIN_SOURCES;NATIVE_SOURCES;LIBS;WIN_LIBS" ${ARGN})
  set(srcs ${A_SOURCES})
  set(libs ${A_LIBS})
  if(WIN32)
    list(APPEND srcs ${A_WIN_SOURCES})
    list(APPEND libs ${A_WIN_LIBS})
  else()
    list(APPEND srcs ${A_NATIVE_SOURCES})
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_compile_options(${name} PRIVATE ${KX_WARNINGS})
  target_link_libraries(${name} PUBLIC ${libs})
  add_dependencies(${name} kx_message_ids)
endfunction()

function(kx_fuzzer name)
  if(WIN32)
    return()
  endif()
  cmake_parse_arguments(A "" "SOURCE;CORPUS;SECONDS" "LIBS" ${ARGN})
  if(NOT A_SECONDS)
    set(A_SECONDS 3)
  endif()
  add_executable(${name} ${A_SOURCE} ${PROJECT_SOURCE_DIR}/tests/fuzz/FuzzDriver.cpp)
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  set(corpus)
  if(A_CORPUS)
    set(corpus ${A_CORPUS})
  endif()
  add_test(NAME ${name} COMMAND ${name} --seconds ${A_SECONDS} ${corpus})
  set_tests_properties(${name} PROPERTIES LABELS "unit;fuzz" TIMEOUT 120)
endfunction()
