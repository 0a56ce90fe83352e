#include "Plot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "Analysis.h"
#include "Interruption.h"

namespace fs = std::filesystem;

namespace {

struct PictureKind {
  const char* extension;
  const char* terminal;  // gnuplot's, with the size
};
constexpr PictureKind kKinds[] = {
    {".png", "pngcairo size 1600,1200 noenhanced font 'Sans,13'"},
    {".svg", "svg size 1600,1200 dynamic noenhanced font 'Sans,13'"},
    {".pdf", "pdfcairo size 16in,12in noenhanced font 'Sans,13'"},
};

const PictureKind& kindFor(const std::string& path) {
  const std::string extension = fs::path(path).extension().string();
  for (const PictureKind& k : kKinds)
    if (strcasecmp(extension.c_str(), k.extension) == 0) return k;
  throw std::runtime_error("'" + path + "': a picture must end in ." + plotKinds());
}

/// A folder of its own for the data and the script, removed when done.
class ScratchFolder {
public:
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "tribandist-plot.XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error(std::string("cannot make a scratch folder: ") + std::strerror(errno));
    folder = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string file(const std::string& name) const { return (folder / name).string(); }

private:
  fs::path folder;
};

/// A double-quoted gnuplot string: its escapes, so "\n" breaks the line.
std::string doubleQuoted(const std::string& text) {
  std::string q = "\"";
  for (char c : text) {
    if (c == '\n') {
      q += "\\n";
      continue;
    }
    if (c == '"' || c == '\\') q += '\\';
    q += c;
  }
  return q + "\"";
}

/// gnuplot's quoting: a single-quoted string with its quotes doubled.
std::string quoted(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("''") : std::string(1, c);
  return q + "'";
}

std::ofstream openFile(const std::string& path) {
  std::ofstream f(path);
  if (!f) throw std::runtime_error("'" + path + "': cannot write it");
  f.precision(8);
  return f;
}

void writeCurves(const std::string& path, const std::vector<Curve>& curves) {
  std::ofstream f = openFile(path);
  writeColumns(f, curves, ' ');
}

void writeHarmonics(const std::string& path, const Harmonics& h) {
  std::ofstream f = openFile(path);
  for (size_t k = 0; k < h.levelsDbfs.size(); ++k) f << k + 1 << ' ' << h.levelsDbfs[k] << '\n';
}

std::string harmonicsPanel(const Harmonics& h, const std::string& data) {
  char title[160];
  std::snprintf(title, sizeof title, "Harmonics of %.0f Hz at %.0f dBFS: THD %.3g %%", h.fundamentalHz, h.inputDbfs,
                h.thdPercent);
  return "set title " + quoted(title) +
         "\nunset logscale x\nset xrange [0.5:10.5]\nset xtics 1\nset yrange [-140:10]\n"
         "set xlabel 'harmonic (1 is the fundamental)'\nset ylabel 'level (dBFS)'\nset style fill solid 0.8\n"
         "floor = -140\nlevel(v) = v < floor ? floor : v\n"
         // Bars rise from the floor of the axis, not from 0 dB.
         "plot " +
         quoted(data) +
         " using 1:((level($2) + floor) / 2):(0.3):((level($2) - floor) / 2) with boxxyerror lc rgb '#3060a0' "
         "notitle, " +
         quoted(data) + " using 1:(level($2)):($2 > floor ? sprintf('%.0f', $2) : '') with labels offset 0,0.8 notitle\n";
}

std::string script(const Analysis& a, const PictureKind& kind, const std::string& output, const ScratchFolder& s) {
  std::string g = "set terminal " + std::string(kind.terminal) + "\nset output " + quoted(output) +
                  "\nset encoding utf8\nset grid\nset key bottom center\n";
  const std::string caption = a.plugin + (a.settings.empty() ? ", as it starts" : ": " + a.settings);
  g += "set multiplot layout 2,2 title " +
       doubleQuoted(caption + ".\nEach measurement uses a fresh instance, so no running state (the fuzz curves' "
                              "peaks) carries from one to the next.") +
       "\n";

  g += "set title 'Frequency response (impulse at -40 dBFS)'\nset logscale x\nset xrange [20:20000]\n"
       "set xtics ('20' 20, '50' 50, '100' 100, '200' 200, '500' 500, '1k' 1000, '2k' 2000, '5k' 5000, '10k' "
       "10000, '20k' 20000)\n"
       "set yrange [-60:*]\nset xlabel 'frequency (Hz)'\nset ylabel 'gain (dB)'\nplot ";
  for (size_t i = 0; i < a.responses.size(); ++i)
    g += (i ? ", " : "") + quoted(s.file("response.dat")) + " using 1:" + std::to_string(i + 2) + " with lines lw " +
         (i ? "2" : "3") + " title " + quoted(a.responses[i].name);
  g += "\n";

  g += "set title 'Transfer: a sine at the band centre'\nunset logscale x\nset xrange [-60:6]\nset xtics auto\n"
       "set yrange [-80:12]\nset xlabel 'input (dBFS, sine peak)'\nset ylabel 'output (dBFS, sine-equivalent "
       "peak)'\nset key top left\nplot x with lines dt 2 lc rgb 'gray' title 'unity'";
  for (size_t i = 0; i < a.transfers.size(); ++i)
    g += ", " + quoted(s.file("transfer.dat")) + " using 1:" + std::to_string(i + 2) +
         " with linespoints lw 2 pt 7 ps 0.6 title " + quoted(a.transfers[i].name);
  g += "\n";

  g += harmonicsPanel(a.at1k, s.file("harmonics-1k.dat"));
  g += harmonicsPanel(a.at100, s.file("harmonics-100.dat"));
  g += "unset multiplot\nset output\n";
  return g;
}

/// Runs gnuplot on the script; its messages go to our stderr.
void runGnuplot(const std::string& scriptPath) {
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error(std::string("cannot start gnuplot: ") + std::strerror(errno));
  if (child == 0) {
    execlp("gnuplot", "gnuplot", scriptPath.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR) throw std::runtime_error(std::string("waiting for gnuplot: ") + std::strerror(errno));
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
    throw std::runtime_error("gnuplot is not installed (Debian package gnuplot-nox): it draws the pictures");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("gnuplot failed to draw the picture");
}

mode_t currentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

}  // namespace

void checkPicturePath(const std::string& path) { kindFor(path); }

std::string plotKinds() {
  std::string names;
  for (const PictureKind& k : kKinds) names += (names.empty() ? "" : ", ") + std::string(k.extension + 1);
  return names;
}

void plotAnalysis(const Analysis& a, const std::string& path) {
  const PictureKind& kind = kindFor(path);
  ScratchFolder scratch;
  writeCurves(scratch.file("response.dat"), a.responses);
  writeCurves(scratch.file("transfer.dat"), a.transfers);
  writeHarmonics(scratch.file("harmonics-1k.dat"), a.at1k);
  writeHarmonics(scratch.file("harmonics-100.dat"), a.at100);

  // gnuplot writes a temporary beside OUT, which replaces OUT only when complete.
  // Through a symbolic link to the file it names, as writing would.
  const fs::path target = fs::weakly_canonical(fs::absolute(path));
  std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  int slot = -1;
  const int descriptor = interruption::createTemporary(temporary, slot);
  if (descriptor < 0) throw std::runtime_error("'" + path + "': cannot write there: " + std::strerror(errno));
  close(descriptor);
  try {
    {
      std::ofstream f = openFile(scratch.file("report.gp"));
      f << script(a, kind, temporary, scratch);
      if (!f.flush()) throw std::runtime_error("cannot write gnuplot's script");
    }
    runGnuplot(scratch.file("report.gp"));
    if (fs::file_size(temporary) == 0) throw std::runtime_error("gnuplot wrote an empty picture");
    // The temporary was created private; a picture is read by others like any file.
    chmod(temporary.c_str(), 0644 & ~currentUmask());
    if (std::rename(temporary.c_str(), target.c_str()) != 0)
      throw std::runtime_error("'" + path + "': cannot replace it: " + std::strerror(errno));
  } catch (...) {
    std::remove(temporary.c_str());
    interruption::forget(slot);
    throw;
  }
  interruption::forget(slot);
}
