# The plot readers are tested on files written with the SDIF library and libaudiofile.
target_link_libraries(test_${name} PRIVATE lumbra ${AUDIOFILE_LIB})
target_include_directories(test_${name} PRIVATE ${AUDIOFILE_INCLUDE})
