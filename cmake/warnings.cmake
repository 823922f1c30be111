add_library(burnbench_options INTERFACE)
target_compile_options(burnbench_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-qual -Wformat=2
  $<$<BOOL:${BURNBENCH_WERROR}>:-Werror>)
option(BURNBENCH_NARROWING_CHECK "Warn where a 64-bit value is narrowed to 32 bits (clang)" OFF)
if(BURNBENCH_NARROWING_CHECK)
  target_compile_options(burnbench_options INTERFACE -Wshorten-64-to-32)
endif()
if(WIN32)
  # Narrow text is UTF-8 inside the program; the Windows calls take UTF-16.
  target_compile_definitions(burnbench_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
endif()
if(BURNBENCH_SANITIZE)
  target_compile_options(burnbench_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(burnbench_options INTERFACE -fsanitize=address,undefined)
endif()
if(BURNBENCH_TSAN)
  target_compile_options(burnbench_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(burnbench_options INTERFACE -fsanitize=thread)
endif()
