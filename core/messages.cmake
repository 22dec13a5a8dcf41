# The message table: core/messages.tsv is turned into messages_data.inc (a
# static array of UTF-8 literals) at build time; messages.cpp includes it.
# The generator also validates the table and stops the build on a fault.
set(MM_MESSAGES_INC ${CMAKE_CURRENT_BINARY_DIR}/messages_data.inc)
set(MM_MESSAGES_GEN ${PROJECT_SOURCE_DIR}/tools/gen_messages_inc.py)
add_custom_command(
  OUTPUT ${MM_MESSAGES_INC}
  COMMAND ${Python3_EXECUTABLE} ${MM_MESSAGES_GEN} --quiet
          --tsv ${MM_MESSAGES_TSV} --output ${MM_MESSAGES_INC}
  DEPENDS ${MM_MESSAGES_TSV} ${MM_MESSAGES_GEN}
  COMMENT "Generating the message table"
  VERBATIM)
target_sources(mm_core PRIVATE ${MM_MESSAGES_INC})
set_source_files_properties(${MM_MESSAGES_INC} PROPERTIES GENERATED TRUE HEADER_FILE_ONLY TRUE)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/messages.cpp
  PROPERTIES OBJECT_DEPENDS ${MM_MESSAGES_INC})
