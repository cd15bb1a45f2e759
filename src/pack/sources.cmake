# The packer: its compressor, its library, and its commands with the entry
# that names them in one table.
quorvel_sources(ENCODER lzh_encoder.cpp lzh_match_finder.cpp lzh_parser.cpp lzh_block_code.cpp)
quorvel_sources(PE_IMAGE pe_image.cpp)
quorvel_sources(PACK archive_reader.cpp archive_walk.cpp archive_writer.cpp command_line.cpp header_levels.cpp
  cp932.cpp exclusive_file.cpp header_writer.cpp member_names.cpp os_conventions.cpp output_file.cpp pack_json.cpp
  progress_bar.cpp sfx_info.cpp sfx_writer.cpp source_date.cpp stream_encoder.cpp terminal_text.cpp unicode_text.cpp
  utf8_system.cpp)
quorvel_sources(PACK_COMMANDS main.cpp create_command.cpp extract_command.cpp info_command.cpp
  list_command.cpp test_command.cpp)
