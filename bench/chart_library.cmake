# The chart update of one plot window (33 series of 30 points) with the chart
# library the windows draw with.
if(KESTROVA_BUILD_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport)
  find_package(QCustomPlotQt6 REQUIRED)
  add_executable(chart_library_bench ${CMAKE_CURRENT_SOURCE_DIR}/chart_library_bench.cpp)
  kestrova_warnings(chart_library_bench)
  target_link_libraries(chart_library_bench PRIVATE Qt6::Widgets QCustomPlotQt6::QCustomPlotQt6
                        benchmark::benchmark)
endif()
