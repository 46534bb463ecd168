# The XML benchmark's baseline: libxml2 parsing the same file.
find_package(LibXml2 REQUIRED)
target_link_libraries(xml_bench PRIVATE LibXml2::LibXml2)
