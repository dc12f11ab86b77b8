# Warnings for the project's own code (not for third-party sources).
add_library(vexo_warnings INTERFACE)
target_compile_options(vexo_warnings INTERFACE
  -Wall -Wextra -Wformat=2 -Wshadow -Wno-unused-parameter)
