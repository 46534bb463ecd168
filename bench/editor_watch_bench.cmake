# The editor under a stream of values needs the editor and kandrel-sim to serve it.
if(TARGET kandrel_ui AND TARGET kandrel-sim)
  target_link_libraries(editor_watch_bench PRIVATE kandrel_ui kandrel_sim_core)
  add_dependencies(editor_watch_bench kandrel-sim)
  target_compile_definitions(editor_watch_bench PRIVATE KANDREL_SIM="$<TARGET_FILE:kandrel-sim>")
else()
  set_target_properties(editor_watch_bench PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
