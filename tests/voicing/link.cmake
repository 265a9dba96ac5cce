# The zone construction lives with the driver and thins boundaries with the marks' tooclose;
# build just those sources into this program rather than the whole driver library.
target_sources(test_${name} PRIVATE ${CMAKE_SOURCE_DIR}/src/driver/voicedzones.cpp
                                    ${CMAKE_SOURCE_DIR}/src/driver/transientzones.cpp
                                    ${CMAKE_SOURCE_DIR}/src/driver/voicingcurve.cpp
                                    ${CMAKE_SOURCE_DIR}/src/marks/tooclose.cpp)
