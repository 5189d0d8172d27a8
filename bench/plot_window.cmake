# The chart update of one plot window (33 series of 30 points), core and window.
if(KESTROVA_BUILD_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  add_executable(plot_window_bench ${CMAKE_CURRENT_SOURCE_DIR}/plot_window_bench.cpp)
  kestrova_warnings(plot_window_bench)
  target_link_libraries(plot_window_bench PRIVATE kestrova_plotwindow benchmark::benchmark)
endif()
