# The hardening Debian builds its own packages with (dpkg-buildflags): a
# stack protector, checked string and memory functions, and relocations made
# read-only and bound at start-up. The compilers of Debian make
# position-independent executables already. _FORTIFY_SOURCE needs the
# optimizer, so builds without it (Debug: the sanitizer and fuzz builds) go
# without the checked functions.
if(UNIX AND NOT APPLE AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-fstack-protector-strong
                      $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-D_FORTIFY_SOURCE=2>)
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
