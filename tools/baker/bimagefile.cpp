// bimagefile.cpp: 24-bit BMP, baseline JPEG and RGBA PNG writers.
#include "baker/bimagefile.h"

#include <csetjmp>  // Required for: setjmp, longjmp (libjpeg reports errors through error_exit)
#include <cstdio>   // Required for: fopen, fwrite, fclose, fprintf
#include <cstdlib>  // Required for: free (jpeg_mem_dest allocates with malloc)

#include <jpeglib.h>
#include <png.h>  // Required for: png_image_write_to_file (libpng 1.6)

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFFu));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFFu));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFFu);
    put16(out, v >> 16);
}

bool saveBytes(const char* path, const std::vector<uint8_t>& bytes) {
    FILE* file = fopen(path, "wb");
    bool good = file != nullptr;
    if (good) good = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file && fclose(file) != 0) good = false;
    if (!good) fprintf(stderr, "Unable to write %s\n", path);
    return good;
}

// libjpeg calls error_exit on a fatal error and must not return from it.
struct JpegError {
    jpeg_error_mgr manager;
    jmp_buf escape;
};

void jpegErrorExit(j_common_ptr info) { longjmp(reinterpret_cast<JpegError*>(info->err)->escape, 1); }

}  // namespace

bool writeBmp(const char* path, int width, int height, const std::vector<uint8_t>& rgb) {
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3) {
        fprintf(stderr, "Unable to write %s\n", path);
        return false;
    }
    const uint32_t headerSize = 14 + 40;
    const uint32_t rowSize = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t imageSize = rowSize * static_cast<uint32_t>(height);
    std::vector<uint8_t> out;
    out.reserve(headerSize + imageSize);
    // BITMAPFILEHEADER
    out.push_back('B');
    out.push_back('M');
    put32(out, headerSize + imageSize);
    put32(out, 0);  // reserved
    put32(out, headerSize);
    // BITMAPINFOHEADER
    put32(out, 40);
    put32(out, static_cast<uint32_t>(width));
    put32(out, static_cast<uint32_t>(height));  // positive: bottom row first
    put16(out, 1);                              // planes
    put16(out, 24);                             // bits per pixel
    put32(out, 0);                              // BI_RGB, no compression
    put32(out, imageSize);
    put32(out, 2835);  // 72 dots per inch, in dots per metre
    put32(out, 2835);
    put32(out, 0);  // colours used
    put32(out, 0);  // important colours
    for (int y = height - 1; y >= 0; --y) {
        const uint8_t* row = rgb.data() + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            out.push_back(row[x * 3 + 2]);
            out.push_back(row[x * 3 + 1]);
            out.push_back(row[x * 3 + 0]);
        }
        for (uint32_t pad = static_cast<uint32_t>(width) * 3; pad < rowSize; ++pad) out.push_back(0);
    }
    return saveBytes(path, out);
}

namespace {

// What the compression leaves behind. It lives in the caller's frame: after
// a longjmp, automatic variables of the function that called setjmp and
// changed since are indeterminate, these are not.
struct JpegJob {
    jpeg_compress_struct info;
    JpegError error;
    unsigned char* memory = nullptr;
    unsigned long memorySize = 0;
};

bool compressJpeg(JpegJob& job, int width, int height, const std::vector<uint8_t>& rgb, int quality) {
    job.info.err = jpeg_std_error(&job.error.manager);
    job.error.manager.error_exit = jpegErrorExit;
    if (setjmp(job.error.escape)) {
        jpeg_destroy_compress(&job.info);
        return false;
    }
    jpeg_create_compress(&job.info);
    jpeg_mem_dest(&job.info, &job.memory, &job.memorySize);
    job.info.image_width = static_cast<JDIMENSION>(width);
    job.info.image_height = static_cast<JDIMENSION>(height);
    job.info.input_components = 3;
    job.info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&job.info);                // baseline sequential, Huffman
    jpeg_set_quality(&job.info, quality, TRUE);  // TRUE: keep tables baseline
    for (int c = 0; c < job.info.num_components; ++c) {
        job.info.comp_info[c].h_samp_factor = 1;  // 4:4:4, no chroma subsampling
        job.info.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&job.info, TRUE);
    while (job.info.next_scanline < job.info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + static_cast<size_t>(job.info.next_scanline) * width * 3);
        jpeg_write_scanlines(&job.info, &row, 1);
    }
    jpeg_finish_compress(&job.info);
    jpeg_destroy_compress(&job.info);
    return true;
}

}  // namespace

bool writeJpeg(const char* path, int width, int height, const std::vector<uint8_t>& rgb, int quality) {
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3) {
        fprintf(stderr, "Unable to write %s\n", path);
        return false;
    }
    JpegJob job;
    const bool compressed = compressJpeg(job, width, height, rgb, quality);
    const std::vector<uint8_t> bytes(job.memory, job.memory + (compressed ? job.memorySize : 0));
    free(job.memory);
    if (!compressed) {
        fprintf(stderr, "Unable to write %s\n", path);
        return false;
    }
    return saveBytes(path, bytes);
}

bool writePng(const char* path, int width, int height, const std::vector<uint8_t>& rgba) {
    if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * height * 4) {
        fprintf(stderr, "Unable to write %s\n", path);
        return false;
    }
    // libpng's simplified interface: it handles its own errors without a
    // longjmp into our frames, and writes no time chunk.
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path, 0, rgba.data(), 0, nullptr)) {
        fprintf(stderr, "Unable to write %s: %s\n", path, image.message);
        return false;
    }
    return true;
}
