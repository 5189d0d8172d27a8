# The main window: a value refresh of a full panel page, a page switch painted,
# and the start to the painted panel on the demo part.
if(TARGET kestrova_mainwindow)
  add_executable(mainwindow_bench ${CMAKE_CURRENT_SOURCE_DIR}/mainwindow_bench.cpp)
  kestrova_warnings(mainwindow_bench)
  target_link_libraries(mainwindow_bench PRIVATE kestrova_mainwindow benchmark::benchmark)
endif()
