# Built-in packets of the element base tables: gen_builtin writes them as byte arrays
# at build time, and the result is compiled into dorvin_storage.
add_executable(gen_builtin
  ${PROJECT_SOURCE_DIR}/tools/gen_builtin/main.cpp
  ${PROJECT_SOURCE_DIR}/tools/gen_builtin/contents.cpp
  ${PROJECT_SOURCE_DIR}/tools/gen_builtin/emf_writer.cpp
  ${PROJECT_SOURCE_DIR}/tools/gen_builtin/symbols.cpp)
target_link_libraries(gen_builtin PRIVATE dorvin_storage_core)
# A build tool, not part of what is shipped beside the program.
set_target_properties(gen_builtin PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})

set(DORVIN_BUILTIN_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/builtin/builtin_packets.cpp)
add_custom_command(
  OUTPUT ${DORVIN_BUILTIN_SOURCE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/builtin
  COMMAND gen_builtin ${DORVIN_BUILTIN_SOURCE}
  DEPENDS gen_builtin
  COMMENT "Generating the built-in packets"
  VERBATIM)
target_sources(dorvin_storage PRIVATE ${DORVIN_BUILTIN_SOURCE})
