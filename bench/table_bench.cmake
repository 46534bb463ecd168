# The table benchmark drives the real widgets; without the editor there is nothing to measure.
if(TARGET kandrel_ui)
  target_link_libraries(table_bench PRIVATE kandrel_ui)
else()
  set_target_properties(table_bench PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
