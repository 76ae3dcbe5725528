# Compile settings shared by every target of this project.
#
# kv_target_defaults(target): warnings as errors; in the Windows build narrow
# string literals are GBK (code page 936), UNICODE stays undefined so the A
# functions are the defaults, and programs link statically.
function(kv_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(WIN32)
    target_compile_options(${target} PRIVATE -finput-charset=UTF-8 -fexec-charset=GBK)
    target_compile_definitions(${target} PRIVATE _MBCS WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  endif()
  target_include_directories(${target} PUBLIC ${KV_ROOT}/kv_Install)
  if(KV_SANITIZE AND NOT WIN32)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# The installer's own code in the Windows build (every target under
# kv_Install) is made for size: kvsetup.exe outside its resources must stay
# within 256 KiB (tools/release/size_report.py). It throws and catches
# nothing, so it needs no exception machinery; on i686 the DWARF unwind
# tables serve C++ exceptions only and go too. x86-64 keeps them: there they
# are the SEH unwind data (.pdata/.xdata) that Windows itself walks.
# kv_speed_code(target) gives the code whose speed installs wait for (the
# ZIP reader) its full optimisation back.
if(WIN32)
  # Each function and datum in a section of its own, so that the release
  # link's --gc-sections drops what nothing calls, function by function.
  set(KV_INSTALLER_COMPILE_OPTIONS -Os -fno-exceptions -ffunction-sections -fdata-sections)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(APPEND KV_INSTALLER_COMPILE_OPTIONS -fno-asynchronous-unwind-tables)
  endif()
endif()
function(kv_speed_code target)
  if(WIN32)
    target_compile_options(${target} PRIVATE -O3)
  endif()
endfunction()

# kv_windows_program(target): a self-contained 32-bit Windows executable.
function(kv_windows_program target)
  kv_target_defaults(${target})
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endfunction()

# Sanitizers propagate to every native object so the runtime sees all of them.
if(KV_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
