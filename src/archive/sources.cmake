# The engine: bytes only.
quorvel_sources(CORE archive_input.cpp crc16.cpp engine_host.cpp huffman_table.cpp lzh_blocks.cpp
  lzh_decoder.cpp member_data.cpp member_header.cpp output_sink.cpp)
# The Unicode name of a member from its header's fields, apart: a stub that
# reads only the byte names takes none of it.
quorvel_sources(CORE member_name.cpp)
