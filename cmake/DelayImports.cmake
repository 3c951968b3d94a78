# Delay-load import libraries for Windows' own DLLs that the installer needs only after its
# first frame. A DLL linked through one is mapped the first time one of its functions is
# called instead of before the program starts: under Wine the common controls alone took
# 15-35 ms to load, more than the rest of the start before the window appears.
#
# kelto_delay_import(<name>) makes the interface target delay_<name>, linked in place of
# <name>. Its import library is generated at configure time from the toolchain's own import
# library (every function it names), so a function used later needs no list to be kept.
# A DLL that fails to load raises an exception at the call: only link DLLs that every
# supported Windows has.

find_program(KELTO_DLLTOOL x86_64-w64-mingw32-dlltool REQUIRED)
find_program(KELTO_NM x86_64-w64-mingw32-nm REQUIRED)

function(kelto_delay_import name)
  find_library(KELTO_IMPLIB_${name} lib${name}.a REQUIRED)
  set(dir ${CMAKE_BINARY_DIR}/delay-imports)
  set(def ${dir}/${name}.def)
  set(lib ${dir}/lib${name}_delay.a)
  file(MAKE_DIRECTORY ${dir})
  # 1. The functions the system import library names (its "__imp_" symbols).
  execute_process(COMMAND ${KELTO_NM} ${KELTO_IMPLIB_${name}}
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot list ${KELTO_IMPLIB_${name}}")
  endif()
  string(REGEX MATCHALL " I __imp_[A-Za-z0-9_@?$]+" imports "${symbols}")
  list(TRANSFORM imports REPLACE " I __imp_" "")
  list(REMOVE_DUPLICATES imports)
  list(JOIN imports "\n  " exports)
  file(WRITE ${def} "LIBRARY ${name}.dll\nEXPORTS\n  ${exports}\n")
  # 2. The delay-load import library built from that list.
  execute_process(COMMAND ${KELTO_DLLTOOL} --input-def ${def} --dllname ${name}.dll
                          --output-delaylib ${lib}
                  RESULT_VARIABLE failed)
  if(failed OR NOT EXISTS ${lib})
    message(FATAL_ERROR "cannot make the delay-load library of ${name}")
  endif()
  add_library(delay_${name} INTERFACE)
  target_link_libraries(delay_${name} INTERFACE ${lib})
endfunction()
