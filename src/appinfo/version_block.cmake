# Embeds the version block, generated from the project's version, in every program that links
# kestrova_appinfo: its object file goes onto their link lines directly, so the linker keeps it
# although no code refers to it.
configure_file(${CMAKE_CURRENT_LIST_DIR}/embedded_version.cpp.in
               ${CMAKE_CURRENT_BINARY_DIR}/embedded_version.cpp @ONLY)
add_library(kestrova_embedded_version OBJECT ${CMAKE_CURRENT_BINARY_DIR}/embedded_version.cpp)
target_link_libraries(kestrova_appinfo INTERFACE $<TARGET_OBJECTS:kestrova_embedded_version>)
add_dependencies(kestrova_appinfo kestrova_embedded_version)
