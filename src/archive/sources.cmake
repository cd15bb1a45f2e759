# The engine: bytes only.
quorvel_sources(CORE archive_input.cpp crc16.cpp engine_host.cpp huffman_table.cpp lzh_blocks.cpp
  lzh_decoder.cpp member_data.cpp member_header.cpp output_sink.cpp)
