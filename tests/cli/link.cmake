# Programs run by the command-line tests, and the SDIF library their tests use to make and check
# files.
if(TARGET lumbra)
  target_link_libraries(test_${name} PRIVATE lumbra)
endif()
if(TARGET glotmark-dump)
  add_dependencies(test_${name} glotmark-dump)
endif()
