# Where kvsetup.exe takes its DLLs from. It runs elevated, often from a
# Downloads folder, and the normal search order looks in the program's own
# folder first: a DLL dropped there under the name of one the program uses
# would run with administrator rights.
#
# So the program imports directly only DLLs on the system's KnownDLLs list,
# which the loader always takes from the system folder. The list differs
# between Windows versions; these are on it in every version from Windows 7
# on (HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs).
# WININET and URLMON left the list with Windows 8, GDIPLUS joined it only
# with Windows 10, COMCTL32 (side by side), MSIMG32 and IPHLPAPI were never on
# it. Wine (8.0) has no such list and takes every DLL by its load order.
# NTDLL is not on the list but is safer still: the kernel maps it into every
# process before the loader (which lives in it) runs, from the system folder.
set(KV_KNOWN_DLLS
  advapi32 clbcatq comdlg32 gdi32 imagehlp imm32 kernel32 msctf msvcrt normaliz nsi ntdll ole32 oleaut32
  psapi rpcrt4 sechost setupapi shell32 shlwapi user32 wldap32 ws2_32)
# Every other DLL the program links is delay-loaded: the first call into it
# loads it, from the system folder only (core/delay_load.cpp and
# dll_search.cpp). Add a DLL here when the program starts to use one that is
# not on the list above; the import-table test fails until then.
set(KV_DELAY_LOADED_DLLS comctl32 gdiplus iphlpapi msimg32 rstrtmgr wininet)
# A DLL that cannot be loaded (none left in the system folder, or no address
# space left to map it) or that lacks a function is no crash: the call goes
# to a stand-in that returns the function's failure value and leaves the
# system's error for GetLastError (kv_Install/core/delay_load.cpp). That
# value is 0 (NULL, FALSE), except as named here, by DLL or DLL.function:
# GDI+'s functions return a status whose 0 is Ok (7: Win32Error), IP
# Helper's and the Restart Manager's a system error code whose 0 is success
# (50: ERROR_NOT_SUPPORTED).
set(KV_DELAY_LOAD_FAILURES gdiplus=7 iphlpapi=50 rstrtmgr=50)

# kv_system_dlls(target): links target's uses of the DLLs above through
# delay-loading import libraries of the same names, and gives it the start-up
# code that confines DLL loading to the system folder and its own
# delay-load helper with the failure stand-ins. Nothing changes at
# the call sites: `-lwininet` anywhere in the target's link finds the
# delay-loading libwininet.a first. Also writes
# ${CMAKE_BINARY_DIR}/<target>.dlls.txt for the tests.
function(kv_system_dlls target)
  find_program(KV_DLLTOOL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool REQUIRED)
  find_program(KV_NM NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-nm REQUIRED)
  find_program(KV_AS NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-as REQUIRED)
  # What the target puts before a C name ("-": nothing, as an argument).
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(prefix -)
  else()
    set(prefix _)
  endif()
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(dir ${CMAKE_BINARY_DIR}/delayimp)
  set(libraries)
  set(defs)
  foreach(dll ${KV_DELAY_LOADED_DLLS})
    find_file(import_library_${dll} lib${dll}.a PATHS ${CMAKE_FIND_ROOT_PATH}/lib NO_DEFAULT_PATH REQUIRED)
    set(def ${dir}/${dll}.def)
    set(library ${dir}/lib${dll}.a)
    add_custom_command(
      OUTPUT ${library}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND Python3::Interpreter ${KV_ROOT}/cmake/delay_import_def.py ${KV_NM} ${prefix} ${import_library_${dll}}
              ${dll}.dll ${def}
      # -k: the DLL exports stdcall functions without their "@n".
      COMMAND ${KV_DLLTOOL} -k --input-def ${def} --dllname ${dll}.dll --output-delaylib ${library}
      DEPENDS ${KV_ROOT}/cmake/delay_import_def.py ${import_library_${dll}}
      COMMENT "Making the delay-loading import library of ${dll}.dll"
      VERBATIM)
    list(APPEND libraries ${library})
    list(APPEND defs ${def})
  endforeach()
  # The thunks of the delay-loaded functions the program calls, asked for by
  # name, and their failure stand-ins (see delay_import_keep.py), found just
  # before the link.
  set(keep ${dir}/${target}.keep)
  set(failures)
  foreach(failure ${KV_DELAY_LOAD_FAILURES})
    list(APPEND failures --fail ${failure})
  endforeach()
  add_custom_command(TARGET ${target} PRE_LINK
    COMMAND Python3::Interpreter ${KV_ROOT}/cmake/delay_import_keep.py ${KV_NM} ${KV_AS} ${prefix} ${keep}
            ${CMAKE_BINARY_DIR}/kv_Install ${failures} ${defs}
    VERBATIM)
  target_link_options(${target} PRIVATE "LINKER:@${keep}")
  add_custom_target(${target}_delayimp DEPENDS ${libraries})
  add_dependencies(${target} ${target}_delayimp)
  target_link_directories(${target} BEFORE PRIVATE ${dir})
  target_sources(${target} PRIVATE ${KV_ROOT}/kv_Install/core/dll_search.cpp
                                   ${KV_ROOT}/kv_Install/core/delay_load.cpp)
  string(REPLACE ";" " " known "${KV_KNOWN_DLLS}")
  string(REPLACE ";" " " delayed "${KV_DELAY_LOADED_DLLS}")
  file(WRITE ${CMAKE_BINARY_DIR}/${target}.dlls.txt "known ${known}\ndelay-loaded ${delayed}\n")
endfunction()
