# orv_delay_load(<target> <lib> ...): links <target> against delay-import libraries
# for the named system libraries instead of their ordinary import libraries.
#
# The tool runs elevated from a downloaded folder. A library the executable imports
# statically is loaded before any of its code runs, and unless the library is one the
# system always takes from its own folder (KnownDLLs), a copy planted beside the
# executable wins. Delay-loaded, the library is loaded on first use, after the entry
# point has restricted the search to the system folder.
#
# The delay library of lib<lib>.a exports every name of the toolchain's import library
# and is written as lib<lib>.a into a folder of the target's own, which the linker
# searches before the toolchain's, so "-l<lib>" from any layer below picks it up.
function(orv_delay_load target)
  set(dir ${CMAKE_BINARY_DIR}/delayload/${target})
  file(MAKE_DIRECTORY ${dir})
  # A library taken off the list must not linger in the folder the linker searches.
  file(GLOB previous ${dir}/lib*.a)
  foreach(old ${previous})
    get_filename_component(name ${old} NAME_WE)
    string(REGEX REPLACE "^lib" "" name "${name}")
    if(NOT name IN_LIST ARGN)
      file(REMOVE ${old} ${dir}/${name}.def)
    endif()
  endforeach()
  set(outputs)
  foreach(lib ${ARGN})
    find_library(orv_import_${lib} NAMES lib${lib}.a ${lib} NO_CACHE REQUIRED)
    set(import ${orv_import_${lib}})
    execute_process(COMMAND ${CMAKE_NM} ${import} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    # Import symbols: "__imp_Name" (x86_64) or "__imp__Name@N" (i686, stdcall).
    string(REGEX MATCHALL "[ \t]I __imp_[^\r\n]+" entries "${symbols}")
    set(names)
    foreach(e ${entries})
      string(REGEX REPLACE "^[ \t]I __imp_" "" name "${e}")
      # The i686 C names carry one leading underscore (only one: "__TrackMouseEvent@4").
      if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND name MATCHES "^_")
        string(SUBSTRING "${name}" 1 -1 name)
      endif()
      list(APPEND names ${name})
    endforeach()
    list(REMOVE_DUPLICATES names)
    list(SORT names)
    list(LENGTH names count)
    if(count EQUAL 0)
      message(FATAL_ERROR "no import symbols found in ${import}")
    endif()
    list(JOIN names "\n  " body)
    set(def ${dir}/${lib}.def)
    file(CONFIGURE OUTPUT ${def} CONTENT "LIBRARY ${lib}.dll\nEXPORTS\n  ${body}\n" @ONLY)
    # --kill-at: the i686 stdcall names keep their decoration in the program and lose it
    # in the name looked up in the library.
    set(kill)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(kill --kill-at)
    endif()
    # dlltool puts each function's lazy-binding thunk in .text, beside the .idata$
    # sections of its delay slot. The i686 linker takes any such archive member for an
    # ordinary import stub ("jmp *__imp_X") and drops its .text when no undefined
    # symbol names the thunk, as for callers that use __imp_X directly (everything
    # declared dllimport, the common controls among them). Here the slot's first value
    # points into that thunk, so it stayed zero and the first call jumped to address 0.
    # As a section of data, under a .text$ name so that it still lands in .text, the
    # thunk is no longer taken for a stub.
    add_custom_command(OUTPUT ${dir}/lib${lib}.a
      COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --output-delaylib ${dir}/lib${lib}.a --dllname ${lib}.dll ${kill}
      COMMAND ${CMAKE_OBJCOPY} --rename-section .text=.text$dlthunk,contents,alloc,load,readonly,data ${dir}/lib${lib}.a
      DEPENDS ${def}
      VERBATIM)
    list(APPEND outputs ${dir}/lib${lib}.a)
  endforeach()
  add_custom_target(${target}_delayload DEPENDS ${outputs})
  add_dependencies(${target} ${target}_delayload)
  target_link_directories(${target} BEFORE PRIVATE ${dir})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${outputs})
endfunction()
