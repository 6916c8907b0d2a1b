# Everything of the program but its entry point, so tests and benchmarks link what the program
# runs. The same sources on every backend.
add_library(tarabo_core OBJECT
  ${PROJECT_SOURCE_DIR}/scale/Scale.cpp
  ${PROJECT_SOURCE_DIR}/console/WeighConsoleDlg.cpp
  ${PROJECT_SOURCE_DIR}/console/ConsoleCommands.cpp
  ${PROJECT_SOURCE_DIR}/console/ConsoleWindow.cpp
  ${PROJECT_SOURCE_DIR}/console/WeightGauge.cpp
  ${PROJECT_SOURCE_DIR}/app/WeighApp.cpp
  ${PROJECT_SOURCE_DIR}/res/Tarabo_rc.cpp
  ${PROJECT_SOURCE_DIR}/res/TaraboIcon.cpp
)
target_include_directories(tarabo_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tarabo_core PUBLIC tarabo_framework)
