# The LZMA SDK, compiled straight from Debian's lzma-dev: the decoder for
# everything, the encoder (single-threaded) for the packer.
add_library(lzma_dec STATIC ${LZMA_SDK_DIR}/LzmaDec.c)
target_include_directories(lzma_dec SYSTEM PUBLIC ${LZMA_SDK_DIR})

add_library(lzma_enc STATIC ${LZMA_SDK_DIR}/LzmaEnc.c ${LZMA_SDK_DIR}/LzFind.c)
target_include_directories(lzma_enc SYSTEM PUBLIC ${LZMA_SDK_DIR})
target_compile_definitions(lzma_enc PUBLIC _7ZIP_ST)
