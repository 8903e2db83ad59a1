// The XML scanner against libxml2's xmlTextReader on the same generated 20 MB document (tags,
// attributes, text with character and entity references, comments), both reading every part's
// name and value, measured in the same run. Prints:
//   RATIO xml_scan/libxml2_reader <v>   (goal <= 1.0)
//   MEM xml_peak_bytes <n>              (goal <= document size + 1 MiB)
//
// Peak heap: this program replaces the global operator new / delete with counting versions
// (malloc plus malloc_usable_size), so every allocation the scanner makes (its document buffer,
// strings, attribute nodes) is counted. The figure is the highest number of live bytes above
// the level before LoadFromFile, over loading the document from a file and scanning it to its
// end. libxml2 allocates with malloc directly and is not counted (it is not being measured).
#include <benchmark/benchmark.h>
#include <libxml/xmlreader.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <new>
#include <string>

#include "libxmlparser.h"

namespace {

std::atomic<std::size_t> gLive{0};
std::atomic<std::size_t> gPeak{0};

[[gnu::noinline]] void* counted(std::size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) return nullptr;
    const std::size_t live = gLive.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
    std::size_t peak = gPeak.load();
    while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
    }
    return p;
}

// Not inlined: the compiler would otherwise pair this free() with the operator new it sees.
[[gnu::noinline]] void uncounted(void* p) {
    if (!p) return;
    gLive.fetch_sub(malloc_usable_size(p));
    std::free(p);
}

}  // namespace

void* operator new(std::size_t n) {
    if (void* p = counted(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    if (void* p = counted(n)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return counted(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return counted(n);
}
void operator delete(void* p) noexcept {
    uncounted(p);
}
void operator delete[](void* p) noexcept {
    uncounted(p);
}
void operator delete(void* p, std::size_t) noexcept {
    uncounted(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    uncounted(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    uncounted(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    uncounted(p);
}

namespace {

constexpr std::size_t kDocBytes = std::size_t{20} << 20;

// A tuning-file-like document of about kDocBytes bytes, UTF-8 with a prolog.
const std::string& document() {
    static const std::string doc = [] {
        std::string d;
        d.reserve(kDocBytes + 4096);
        d += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Afinacoes versao=\"2\">\n";
        for (unsigned i = 0; d.size() < kDocBytes; ++i) {
            const std::string n = std::to_string(i);
            d += "  <!-- tuning " + n + " -->\n";
            d += "  <Afinacao id=\"" + n + "\" tipo=\"padr\xC3\xA3o &amp; aberta\" ordem='" +
                 std::to_string(i % 7) + "'>\n";
            d += "    <instrumento lang=\"pt\">Viol\xC3\xA3o &amp; guitarra n&#186; " + n +
                 "</instrumento>\n";
            d += "    <tipoAfinacao>Padr&#xE3;o &lt;E&gt; em  Mi   maior</tipoAfinacao>\n";
            d += "    <numeroCordas>6</numeroCordas>\n    <frequenciasMIDI>\n";
            for (int s = 0; s < 6; ++s)
                d += "      <valor corda=\"" + std::to_string(s + 1) + "\">" +
                     std::to_string(40 + 5 * s - (s > 3)) + "</valor>\n";
            d += "    </frequenciasMIDI>\n    <nota/>\n  </Afinacao>\n";
        }
        d += "</Afinacoes>\n";
        return d;
    }();
    return doc;
}

std::size_t scanDocument(TXMLParser& p) {
    std::size_t sum = 0;
    p.StartScan();
    while (p.Scan()) {
        sum += static_cast<std::size_t>(p.PartKind) + p.PartName.size() + p.PartContent.size();
        for (int i = 0; i < p.PartAttributes.Count(); ++i)
            sum += p.PartAttributes.Name(i).size() + p.PartAttributes.Value(i).size();
    }
    return sum;
}

void BM_XmlScan(benchmark::State& state) {
    const std::string& doc = document();
    for (auto _ : state) {
        TXMLParser p;
        p.LoadFromBuffer(doc.c_str());
        benchmark::DoNotOptimize(scanDocument(p));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

std::size_t len(const xmlChar* s) {
    return s ? xmlStrlen(s) : 0;
}

void BM_Libxml2Reader(benchmark::State& state) {
    const std::string& doc = document();
    for (auto _ : state) {
        xmlTextReaderPtr r =
            xmlReaderForMemory(doc.data(), static_cast<int>(doc.size()), nullptr, "UTF-8", 0);
        std::size_t sum = 0;
        while (xmlTextReaderRead(r) == 1) {
            sum += static_cast<std::size_t>(xmlTextReaderNodeType(r));
            sum += len(xmlTextReaderConstName(r)) + len(xmlTextReaderConstValue(r));
            while (xmlTextReaderMoveToNextAttribute(r) == 1)
                sum += len(xmlTextReaderConstName(r)) + len(xmlTextReaderConstValue(r));
            xmlTextReaderMoveToElement(r);
        }
        xmlFreeTextReader(r);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

BENCHMARK(BM_XmlScan)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_Libxml2Reader)->Unit(benchmark::kMillisecond)->Repetitions(3);

// Keeps each benchmark's fastest CPU time per iteration over its repetitions (CPU time: the
// machine is shared, and wall time counts other processes' turns).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Without colour codes, which would otherwise precede the figure lines printed after it.
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) {
            if (r.iterations <= 0 || r.run_type != Run::RT_Iteration) continue;
            const std::string name = r.run_name.function_name;
            const double t = r.GetAdjustedCPUTime();
            if (!best.count(name) || t < best[name]) best[name] = t;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> best;
};

std::size_t peakScanBytes() {
    char path[] = "/tmp/bench_xml_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return 0;
    close(fd);
    std::ofstream(path, std::ios::binary) << document();
    std::size_t peak = 0;
    {
        TXMLParser p;
        const std::size_t base = gLive.load();
        gPeak.store(base);
        if (p.LoadFromFile(path, 64)) {
            benchmark::DoNotOptimize(scanDocument(p));
            peak = gPeak.load() - base;
        }
    }
    std::remove(path);
    return peak;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double scan = reporter.best["BM_XmlScan"], ref = reporter.best["BM_Libxml2Reader"];
    if (ref > 0) std::printf("RATIO xml_scan/libxml2_reader %.3f\n", scan / ref);
    std::printf("MEM xml_peak_bytes %zu\n", peakScanBytes());
    std::printf("(document: %zu bytes)\n", document().size());
    return 0;
}
