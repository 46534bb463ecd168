# The editor benchmark drives the real widgets.
target_link_libraries(ui_bench PRIVATE kandrel_ui)
