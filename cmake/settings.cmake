# One interface target carries every compile setting; every target of the project links it.
add_library(vesk_settings INTERFACE)
target_compile_options(vesk_settings INTERFACE
  -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
if(VESK_WERROR)
  target_compile_options(vesk_settings INTERFACE -Werror)
endif()
if(VESK_SANITIZE)
  target_compile_options(vesk_settings INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(vesk_settings INTERFACE -fsanitize=address,undefined)
else()
  target_compile_definitions(vesk_settings INTERFACE _GLIBCXX_ASSERTIONS)
  # Bounds-checked string and memory calls where the compiler knows the buffer's size; it
  # needs the optimiser, so only the optimised configurations have it.
  target_compile_definitions(vesk_settings INTERFACE
    $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
endif()
