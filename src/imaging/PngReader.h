// Decodes PNG data in memory with libpng into tightly packed top-down rows of 8-bit RGB or RGBA.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct PngImage {
    std::vector<uint8_t> pixels;  // height rows of width x channels bytes, top row first
    int width = 0;
    int height = 0;
    int channels = 0;  // 3 or 4
};

struct png_struct_def;
struct png_info_def;
using PngMessageHandler = void (*)(png_struct_def*, const char*);

// A libpng read struct with its info for data that starts with the PNG signature, errors and warnings going
// to the handlers given (null: libpng's own). False, with nothing made, for other data or without memory.
bool OpenPngRead(const uint8_t* data, size_t size, PngMessageHandler onError, PngMessageHandler onWarning,
    png_struct_def*& png, png_info_def*& info);

// Bytes in memory that libpng reads from, the signature (checked beforehand) already passed.
struct PngMemorySource {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t offset = 8;
};
// Makes libpng read from source, which must outlive the reads; reading past its end is a libpng error.
void SetPngMemorySource(png_struct_def* png, PngMemorySource* source);

// Every call keeps its own read position and error return point, so two decodes may run at once.
// libpng errors are written to stderr as "libpng error: <message>" and make the call fail.
bool ReadPng(const uint8_t* data, size_t size, PngImage& out);
