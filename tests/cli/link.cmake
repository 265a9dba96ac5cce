# Programs run by the command-line tests, and the SDIF library their tests use to make and check
# files.
if(TARGET lumbra)
  target_link_libraries(test_${name} PRIVATE lumbra)
endif()
foreach(program glotmark glotmark-dump glotmark-convert glotmark-corpus glotmark-plot harmex_program glotsynth_program fake-harmex)
  if(TARGET ${program})
    add_dependencies(test_${name} ${program})
  endif()
endforeach()
# The epoch and voicing run tests generate sounds and recompute curves, tracks and zones in
# process to check the files.
foreach(lib glotsynth gm_epochs gm_sdif gm_driver)
  if(TARGET ${lib})
    target_link_libraries(test_${name} PRIVATE ${lib})
  endif()
endforeach()
# The resynthesis program, run by psola_test.cpp.
if(TARGET glotmark-psola)
  add_dependencies(test_${name} glotmark-psola)
endif()
# The install test installs the build into a scratch prefix; every installed program (and so
# every program of programs/) must be built first.
foreach(program ${installed_programs})
  add_dependencies(test_${name} ${program})
endforeach()
target_compile_definitions(test_${name} PRIVATE GLOTMARK_CMAKE_COMMAND="${CMAKE_COMMAND}"
                                                GLOTMARK_BUILD_DIR="${CMAKE_BINARY_DIR}")
