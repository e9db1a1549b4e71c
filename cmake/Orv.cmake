# orv_add_test(<name> SOURCES ... [LIBS ...] [GUI] [RESOURCES] [ENV VAR=value ...] [TIMEOUT s])
#
# One GoogleTest executable = one ctest test, run through Wine by the toolchain's
# emulator. GUI tests share the one Xvfb display and the one pointer, so they take
# the "display" lock and carry the "gui" label (ctest -L gui / -LE gui).
function(orv_add_test name)
  cmake_parse_arguments(T "GUI;RESOURCES;NOMAIN" "TIMEOUT" "SOURCES;LIBS;ENV;DEPENDS" ${ARGN})
  set(srcs ${T_SOURCES})
  if(T_RESOURCES)
    list(APPEND srcs $<TARGET_OBJECTS:orv_res>)
  endif()
  add_executable(${name} ${srcs})
  if(T_NOMAIN)
    target_link_libraries(${name} PRIVATE ${T_LIBS} gtest)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main gtest)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  set(kind unit)
  if(T_GUI)
    set(kind gui)
  endif()
  orv_register_test(${name} ${name} ${kind} "${T_TIMEOUT}" ${T_ENV})
endfunction()

# orv_register_test(<name> <program> <gui|unit> <timeout or ""> [WOW64_ONLY] VAR=value ...):
# runs the test program once on every Windows this build is tested on. The 64-bit build
# runs on 64-bit Windows only, under <name>; the delivered 32-bit build runs on 32-bit
# Windows (<name>_w32) and under WoW64 on 64-bit Windows (<name>_wow64), labelled i686.
# WOW64_ONLY: what does not depend on the Windows underneath runs once, under WoW64 (the
# Windows the tool's users have).
#
# Each run names its screen: the test command gives each a display of its own
# (scripts/wine-run.sh), and the GUI tests of one screen take its lock.
function(orv_register_test name program kind timeout)
  cmake_parse_arguments(R "WOW64_ONLY" "" "" ${ARGN})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(runs "${name}_wow64=win64=wow64")
    if(NOT R_WOW64_ONLY)
      list(PREPEND runs "${name}_w32=win32=win32")
    endif()
  else()
    set(runs "${name}=win64=win64")
  endif()
  foreach(run ${runs})
    string(REPLACE "=" ";" run "${run}")
    list(GET run 0 test)
    list(GET run 1 arch)
    list(GET run 2 screen)
    add_test(NAME ${test} COMMAND ${program})
    set(env "ORV_BUILD=${CMAKE_BINARY_DIR}" "ORV_DIST=${ORV_DIST_DIR}" "ORV_WINARCH=${arch}" "ORV_SCREEN=${screen}"
        ${R_UNPARSED_ARGUMENTS})
    set(labels ${kind})
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      list(APPEND labels i686)
      # Emulated where the machine runs no 32-bit programs, these take longest: they
      # start before the 64-bit build's short tests (which then fill the end).
      set_tests_properties(${test} PROPERTIES COST 40)
    endif()
    set_tests_properties(${test} PROPERTIES ENVIRONMENT "${env}" LABELS "${labels}")
    if(timeout)
      set_tests_properties(${test} PROPERTIES TIMEOUT ${timeout})
    endif()
    # One pointer per display: GUI tests of one display run one at a time.
    if(kind STREQUAL "gui")
      set_tests_properties(${test} PROPERTIES RESOURCE_LOCK display_${screen})
    endif()
  endforeach()
endfunction()

# orv_to_dist(<target> [<subfolder>]): copies the built file into the delivered
# folder (build/dist) after every build, as a user receives the tool.
function(orv_to_dist target)
  set(sub "${ARGV1}")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORV_DIST_DIR}/${sub}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${ORV_DIST_DIR}/${sub}
    VERBATIM)
endfunction()

# orv_layer(<name> DEPS ... [EXCLUDE file ...]): the static library of one source folder,
# made of every .cpp in it. An empty folder gives an interface library so that the
# layers above still configure.
function(orv_layer name)
  cmake_parse_arguments(L "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(x ${L_EXCLUDE})
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${x})
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_link_libraries(${name} PUBLIC ${L_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${L_DEPS})
  endif()
endfunction()

# orv_takes_repair_lock([<test> ...]): these tests (all of this folder's when none are
# named) run repairs, which take the machine-wide repair lock of their Wine prefix's
# wineserver; a ctest lock per set of prefixes (32-bit Windows, the 32-bit build's and the
# 64-bit build's 64-bit Windows) keeps them from running at once and waiting on each
# other's lock.
function(orv_takes_repair_lock)
  set(tests ${ARGN})
  if(NOT tests)
    get_property(tests DIRECTORY PROPERTY TESTS)
  endif()
  foreach(t ${tests})
    if(t MATCHES "_w32$")
      set_property(TEST ${t} APPEND PROPERTY RESOURCE_LOCK repair_win32)
    elseif(t MATCHES "_wow64$")
      set_property(TEST ${t} APPEND PROPERTY RESOURCE_LOCK repair_wow64)
    else()
      set_property(TEST ${t} APPEND PROPERTY RESOURCE_LOCK repair_win64)
    endif()
  endforeach()
endfunction()

# orv_second_seat(): this folder's tests run on the second seat: prefixes of their own
# (ending in -b) on a display of their own (scripts/wine-run.sh), so that its GUI tests
# run beside those of the first seat, and its repairs take the lock of their own
# prefixes. Called last in the folder.
function(orv_second_seat)
  get_property(tests DIRECTORY PROPERTY TESTS)
  foreach(t ${tests})
    set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT ORV_SEAT=b)
    get_property(locks TEST ${t} PROPERTY RESOURCE_LOCK)
    list(TRANSFORM locks APPEND b REGEX "^(display|repair)_win64$")
    set_property(TEST ${t} PROPERTY RESOURCE_LOCK ${locks})
  endforeach()
endfunction()
