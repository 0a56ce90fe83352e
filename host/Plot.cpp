// SPDX-License-Identifier: GPL-3.0-or-later
#include "Plot.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "Analysis.h"
#include "ResultFile.h"

namespace fs = std::filesystem;

namespace {

struct PictureKind {
  const char* extension;
  const char* terminal;  // gnuplot's, with the size
};
constexpr PictureKind kKinds[] = {
    {".png", "pngcairo size 1600,1800 noenhanced font 'Sans,13'"},
    {".svg", "svg size 1600,1800 dynamic noenhanced font 'Sans,13'"},
    {".pdf", "pdfcairo size 16in,18in noenhanced font 'Sans,13'"},
};

const PictureKind& kindFor(const std::string& path) {
  const std::string extension = fs::path(path).extension().string();
  for (const PictureKind& k : kKinds)
    if (strcasecmp(extension.c_str(), k.extension) == 0) return k;
  throw std::runtime_error("'" + path + "': a picture must end in ." + plotKinds());
}

/// A gnuplot string that holds any text as data: single quotes, in which
/// gnuplot expands nothing (no back-quoted commands, no escapes), with its
/// quotes doubled. A line break cannot stand in one and would end the
/// command, so breaks and other control characters show as spaces.
std::string quoted(const std::string& text) {
  std::string q = "'";
  for (char c : text) {
    if (c == '\'')
      q += "''";
    else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
      q += ' ';
    else
      q += c;
  }
  return q + "'";
}

/// The curves as a datablock of the script: the data travels inside it, so
/// no file name reaches gnuplot.
std::string curvesBlock(const char* name, const std::vector<Curve>& curves) {
  std::ostringstream f;
  f.precision(8);
  f << '$' << name << " << EOD\n";
  writeColumns(f, curves, ' ');
  f << "EOD\n";
  return f.str();
}

std::string harmonicsBlock(const char* name, const Harmonics& h) {
  std::ostringstream f;
  f.precision(8);
  f << '$' << name << " << EOD\n";
  for (size_t k = 0; k < h.levelsDbfs.size(); ++k) f << k + 1 << ' ' << h.levelsDbfs[k] << '\n';
  f << "EOD\n";
  return f.str();
}

std::string harmonicsPanel(const Harmonics& h, const std::string& data) {  // data: a datablock's name
  char title[160];
  std::snprintf(title, sizeof title, "Harmonics of %.0f Hz at %.0f dBFS: THD %.3g %%", h.fundamentalHz, h.inputDbfs,
                h.thdPercent);
  return "set title " + quoted(title) +
         "\nunset logscale x\nset xrange [0.5:10.5]\nset xtics 1\nset yrange [-140:10]\n"
         "set xlabel 'harmonic (1 is the fundamental)'\nset ylabel 'level (dBFS)'\nset style fill solid 0.8\n"
         "floor = -140\nlevel(v) = v < floor ? floor : v\n"
         // Bars rise from the floor of the axis, not from 0 dB.
         "plot " +
         data +
         " using 1:((level($2) + floor) / 2):(0.3):((level($2) - floor) / 2) with boxxyerror lc rgb '#3060a0' "
         "notitle, " +
         data + " using 1:(level($2)):($2 > floor ? sprintf('%.0f', $2) : '') with labels offset 0,0.8 notitle\n";
}

/// True when a curve has a finite point above the panel's floor: gnuplot
/// refuses a plot with no point to draw.
bool drawable(const Curve& c, double floorDb) {
  for (double y : c.y)
    if (std::isfinite(y) && y > floorDb) return true;
  return false;
}

/// A panel with nothing to draw says so, instead of failing the picture.
std::string emptyPanel(const std::string& why) {
  return "set yrange [-1:1]\nset label 1 " + quoted(why) +
         " at graph 0.5, graph 0.5 center\nplot -1000 notitle\n"
         "unset label 1\n";
}

/// The output's spectrum for a sine near 10 kHz: the harmonics stand on
/// their multiples (marked), everything else is folded back.
std::string aliasesPanel(const Aliases& a, std::vector<std::string>& notes) {
  char title[200];
  std::snprintf(title, sizeof title,
                "Aliases of %.1f Hz at %.0f dBFS: all that is no harmonic in 20 Hz-20 kHz is %.1f dB against it",
                a.fundamentalHz, a.inputDbfs, a.aliasesDb);
  std::string g = curvesBlock("aliases", {a.spectrum});
  g += "set title " + quoted(title) +
       "\nunset logscale x\nset xrange [0:20000]\nset xtics ('0' 0, '2k' 2000, '4k' 4000, '6k' 6000, '8k' 8000, "
       "'10k' 10000, '12k' 12000, '14k' 14000, '16k' 16000, '18k' 18000, '20k' 20000)\nset yrange [-160:0]\n"
       "set xlabel 'frequency (Hz)'\nset ylabel 'level (dBFS)'\nset key top right\n";
  bool finite = false;
  for (double y : a.spectrum.y) finite = finite || (std::isfinite(y) && y > -160.0);
  if (!finite) {
    notes.push_back("the output for the aliases' sine is silent or not finite: its panel is empty");
    return g + emptyPanel("no spectrum to draw: the output is silent or not finite");
  }
  for (int k = 1; k * a.fundamentalHz <= 20000.0; ++k) {
    char harmonic[120];
    std::snprintf(harmonic, sizeof harmonic,
                  "set arrow from first %.6g, graph 0 to first %.6g, graph 1 nohead dt 3 lc rgb 'gray'\n",
                  k * a.fundamentalHz, k * a.fundamentalHz);
    g += harmonic;
  }
  return g +
         "plot $aliases using 1:2 with lines lw 1 lc rgb '#a03030' title 'output (dotted: the harmonics)'\n"
         "unset arrow\n";
}

std::string script(const Analysis& a, const PictureKind& kind, std::vector<std::string>& notes) {
  constexpr double kResponseFloorDb = -60.0;
  // The picture goes to gnuplot's standard output, which is the result file.
  std::string g = "set terminal " + std::string(kind.terminal) + "\nset output\nset encoding utf8\nset grid\n";
  g += curvesBlock("response", a.responses) + curvesBlock("transfer", a.transfers) +
       harmonicsBlock("harmonics1k", a.at1k) + harmonicsBlock("harmonics100", a.at100);
  // Long settings go on as many lines as they need, broken after a comma;
  // each line is quoted on its own, joined by gnuplot's line breaks.
  std::string caption = a.plugin + (a.settings.empty() ? ", as it starts" : ": " + a.settings) + ".";
  constexpr size_t kCaptionLine = 140;
  std::string captionLines;
  while (caption.size() > kCaptionLine) {
    const size_t comma = caption.rfind(", ", kCaptionLine);
    if (comma == std::string::npos || comma == 0) break;
    captionLines += quoted(caption.substr(0, comma + 1)) + " . \"\\n\" . ";
    caption.erase(0, comma + 2);
  }
  captionLines += quoted(static_cast<const std::string&>(caption));
  g += "caption = " + captionLines + " . \"\\n\" . " +
       quoted(
           "Each measurement uses a fresh instance, so no running state (the fuzz curves' peaks) carries from "
           "one to the next.") +
       "\nset multiplot layout 3,2 title caption\nset key bottom center\n";

  g += "set title 'Frequency response (impulse at -40 dBFS)'\nset logscale x\nset xrange [20:20000]\n"
       "set xtics ('20' 20, '50' 50, '100' 100, '200' 200, '500' 500, '1k' 1000, '2k' 2000, '5k' 5000, '10k' "
       "10000, '20k' 20000)\nset xlabel 'frequency (Hz)'\nset ylabel 'gain (dB)'\n";
  std::string curves;
  for (size_t i = 0; i < a.responses.size(); ++i) {
    if (!drawable(a.responses[i], kResponseFloorDb)) {
      notes.push_back("the response of '" + a.responses[i].name + "' is silent or not finite: it is not drawn");
      continue;
    }
    curves += (curves.empty() ? "" : ", ") + std::string("$response using 1:") + std::to_string(i + 2) +
              " with lines lw " + (i ? "2" : "3") + " title " + quoted(a.responses[i].name);
  }
  g += curves.empty() ? emptyPanel("no response to draw: the output is silent or not finite")
                      : "set yrange [-60:*]\nplot " + curves + "\n";

  g += "set title 'Transfer: a sine at the band centre'\nunset logscale x\nset xrange [-60:6]\nset xtics auto\n"
       "set yrange [-80:12]\nset xlabel 'input (dBFS, sine peak)'\nset ylabel 'output (dBFS, sine-equivalent "
       "peak)'\nset key top left\nplot x with lines dt 2 lc rgb 'gray' title 'unity'";
  for (size_t i = 0; i < a.transfers.size(); ++i)
    g += ", $transfer using 1:" + std::to_string(i + 2) + " with linespoints lw 2 pt 7 ps 0.6 title " +
         quoted(a.transfers[i].name);
  g += "\n";

  for (const Harmonics* h : {&a.at1k, &a.at100})
    if (h->levelsDbfs.empty() || !std::isfinite(h->levelsDbfs[0]) || h->levelsDbfs[0] <= -140.0)
      notes.push_back("the output for the " + std::to_string(static_cast<int>(h->fundamentalHz)) +
                      " Hz sine is silent or not finite: its harmonics panel is empty");
  g += harmonicsPanel(a.at1k, "$harmonics1k");
  g += harmonicsPanel(a.at100, "$harmonics100");
  g += aliasesPanel(a.aliases, notes);
  g += "unset multiplot\nset output\n";
  return g;
}

/// Runs gnuplot with the script as its standard input and the picture as
/// its standard output; its messages go to our stderr.
void runGnuplot(const std::string& text, int pictureDescriptor) {
  // The script lives in memory only: nothing to name, nothing to leave behind.
  const int scriptDescriptor = memfd_create("tribandist-plot", MFD_CLOEXEC);
  if (scriptDescriptor < 0)
    throw std::runtime_error(std::string("cannot hold gnuplot's script: ") + std::strerror(errno));
  const bool written = write(scriptDescriptor, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                       lseek(scriptDescriptor, 0, SEEK_SET) == 0;
  if (!written) {
    close(scriptDescriptor);
    throw std::runtime_error(std::string("cannot hold gnuplot's script: ") + std::strerror(errno));
  }
  const pid_t child = fork();
  if (child < 0) {
    close(scriptDescriptor);
    throw std::runtime_error(std::string("cannot start gnuplot: ") + std::strerror(errno));
  }
  if (child == 0) {
    if (dup2(scriptDescriptor, STDIN_FILENO) < 0 || dup2(pictureDescriptor, STDOUT_FILENO) < 0) _exit(126);
    execlp("gnuplot", "gnuplot", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(scriptDescriptor);
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR) throw std::runtime_error(std::string("waiting for gnuplot: ") + std::strerror(errno));
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
    throw std::runtime_error("gnuplot is not installed (Debian package gnuplot-nox): it draws the pictures");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("gnuplot failed to draw the picture");
}

}  // namespace

void checkPicturePath(const std::string& path) { kindFor(path); }

std::string plotKinds() {
  std::string names;
  for (const PictureKind& k : kKinds) names += (names.empty() ? "" : ", ") + std::string(k.extension + 1);
  return names;
}

std::vector<std::string> plotAnalysis(const Analysis& a, const std::string& path) {
  const PictureKind& kind = kindFor(path);
  ResultFile picture(path);
  std::vector<std::string> notes;
  runGnuplot(script(a, kind, notes), picture.descriptor());
  struct stat st {};
  if (picture.replaces() && (fstat(picture.descriptor(), &st) != 0 || st.st_size == 0))
    throw std::runtime_error("gnuplot wrote an empty picture");
  picture.commit();
  return notes;
}
