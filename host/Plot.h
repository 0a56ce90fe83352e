// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

struct Analysis;

/// Draws the analysis as one picture of four panels (responses, transfer
/// curves, the harmonics of 1 kHz and of 100 Hz) with gnuplot, which it runs
/// as a separate program. The picture's kind follows the extension of
/// `path`: .png (1600 x 1200), .svg or .pdf. OUT is replaced only once the
/// picture is complete. A panel with nothing to draw (a silent or
/// non-finite output) says so; the answer lists what could not be drawn.
/// Nothing a plug-in, a user or a file system names reaches gnuplot as
/// script text: the data travels in the script, every text is quoted as
/// data, and the picture leaves through gnuplot's standard output. Throws
/// std::runtime_error naming what is wrong (gnuplot missing or failing, an
/// unknown extension, an unwritable place).
std::vector<std::string> plotAnalysis(const Analysis& analysis, const std::string& path);

/// Throws std::runtime_error unless plotAnalysis knows the extension of `path`.
void checkPicturePath(const std::string& path);

/// "png, svg, pdf": the extensions plotAnalysis knows.
std::string plotKinds();
