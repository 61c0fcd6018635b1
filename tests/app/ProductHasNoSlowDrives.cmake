# Snapkeep.exe must not contain the simulated enclosures' slow drives, which SnapkeepSim.exe does:
# the class's run-time type name is in a program exactly when the class is linked into it.
foreach(program IN ITEMS PRODUCT SIMULATED)
    file(STRINGS "${${program}}" found REGEX "SlowDriveFileAccess")
    list(LENGTH found count)
    set(${program}_COUNT ${count})
endforeach()
if(SIMULATED_COUNT EQUAL 0)
    message(FATAL_ERROR "the check sees nothing: SnapkeepSim.exe shows no slow drives either")
endif()
if(NOT PRODUCT_COUNT EQUAL 0)
    message(FATAL_ERROR "Snapkeep.exe contains the simulated slow drives")
endif()
message(STATUS "SnapkeepSim.exe has the slow drives; Snapkeep.exe has none")
