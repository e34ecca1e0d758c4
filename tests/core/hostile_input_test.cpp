// Damaged and hostile property-list files: each is refused with one line on standard error that
// names the file and the reason, before anything big is allocated, and nothing crashes, hangs or
// reads as a success.
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AllocationCounter.h"
#include "TempDir.h"
#include "core/NSError.h"
#include "core/PropertyList.h"

namespace pf {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A binary property list of `objects` (object 0 the top), with two-byte offsets and references.
Bytes binaryPlist(const std::vector<Bytes>& objects) {
    Bytes out{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<std::size_t> offsets;
    for (const auto& object : objects) {
        offsets.push_back(out.size());
        out.insert(out.end(), object.begin(), object.end());
    }
    const std::size_t table = out.size();
    for (const std::size_t offset : offsets) {
        out.push_back(static_cast<std::uint8_t>(offset >> 8));
        out.push_back(static_cast<std::uint8_t>(offset));
    }
    Bytes trailer(32, 0);
    trailer[6] = 2;
    trailer[7] = 2;
    trailer[14] = static_cast<std::uint8_t>(objects.size() >> 8);
    trailer[15] = static_cast<std::uint8_t>(objects.size());
    trailer[30] = static_cast<std::uint8_t>(table >> 8);
    trailer[31] = static_cast<std::uint8_t>(table);
    out.insert(out.end(), trailer.begin(), trailer.end());
    return out;
}

// An array (kind 0xA) or dictionary (0xD, keys first) of two-byte references.
Bytes container(std::uint8_t kind, const std::vector<int>& references) {
    const std::size_t count = references.size() / (kind == 0xD ? 2 : 1);
    Bytes out = count < 15 ? Bytes{std::uint8_t(kind << 4 | count)}
                           : Bytes{std::uint8_t(kind << 4 | 15), 0x11, std::uint8_t(count >> 8),
                                   std::uint8_t(count)};
    for (const int r : references) {
        out.push_back(static_cast<std::uint8_t>(r >> 8));
        out.push_back(static_cast<std::uint8_t>(r));
    }
    return out;
}

// `levels` arrays, each holding the next.
Bytes binaryChain(int levels) {
    std::vector<Bytes> objects;
    for (int i = 0; i + 1 < levels; ++i)
        objects.push_back(container(0xA, {i + 1}));
    objects.push_back({0xA0});
    return binaryPlist(objects);
}

// Arrays `levels` deep, each naming the next one 16 times, over one string: a few hundred bytes
// that name 16^levels strings once expanded.
Bytes sharedReferences(int levels) {
    std::vector<Bytes> objects;
    for (int i = 0; i < levels; ++i)
        objects.push_back(container(0xA, std::vector<int>(16, i + 1)));
    objects.push_back({0x51, 'x'});
    return binaryPlist(objects);
}

// An array of `count` booleans, with line ends after it up to `size` bytes.
std::string xmlTrues(int count, std::size_t size = 0) {
    std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><array>";
    for (int i = 0; i < count; ++i)
        xml += "<true/>";
    xml += "</array></plist>";
    return xml + std::string(std::max(size, xml.size()) - xml.size(), '\n');
}

std::string xmlChain(int levels) {
    std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < levels; ++i)
        xml += "<array>";
    for (int i = 0; i < levels; ++i)
        xml += "</array>";
    return xml + "</plist>";
}

Bytes text(const std::string& xml) {
    return Bytes(xml.begin(), xml.end());
}

const Bytes kUtf16KeyWithNul{0x62, 0x00, 0x41, 0x00, 0x00}; // "A\0" in UTF-16

class HostileFile : public testing::Test {
protected:
    std::string write(const Bytes& bytes) {
        const std::string path = dir_.file("file-" + std::to_string(++count_) + ".plist");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    PlistValue read(const Bytes& bytes) {
        return PropertyListSerialization::propertyListWithContentsOfFile(write(bytes));
    }

    test::TempDir dir_;
    int count_ = 0;
};

TEST_F(HostileFile, RefusedWithALineNamingTheFileAndTheReason) {
    const std::string fifo = dir_.file("settings.plist");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir_.file("folder.plist");
    std::filesystem::create_directory(folder);
    const std::string sparse = write({});
    std::filesystem::resize_file(sparse, std::uintmax_t{64} << 30);
    Bytes kilobytes{0x5F, 0x11, 0x10, 0x00}; // 4096 characters of ASCII text
    kilobytes.resize(kilobytes.size() + 4096, 'x');
    struct Case {
        const char* what;
        std::string path;
        const char* reason;
    };
    const Case cases[] = {
        {"a named pipe (opening it would wait for a writer)", fifo,
         "couldn\u2019t be opened because it isn\u2019t a regular file"},
        {"a directory", folder, "couldn\u2019t be opened."},
        {"a sparse file of 64 GiB", sparse, "couldn\u2019t be opened because it is too large"},
        {"an XML file one byte over 4 MiB", write(text(xmlTrues(262143, (4 << 20) + 1))),
         "couldn\u2019t be opened because it is too large"},
        {"XML of 262,145 elements", write(text(xmlTrues(262144))),
         "expands to more than 262144 objects"},
        {"XML holding U+0000", write(text(std::string("<plist><string>a\0b</string></plist>", 35))),
         "the document holds U+0000"},
        {"binary arrays naming one child again and again", write(sharedReferences(5)),
         "expands to more than 262144 objects"},
        {"binary array naming 4 KiB of text 4,100 times",
         write(binaryPlist({container(0xA, std::vector<int>(4100, 1)), kilobytes})),
         "expands to more than 16777216 bytes of text and data"},
        {"XML nested one level too deep", write(text(xmlChain(513))), "nested too deeply"},
        {"binary nested one level too deep", write(binaryChain(513)), "nested too deeply"},
        // A chain of 301 met first near the top, then again at the end of a chain of 299: the
        // second meeting must count it at that depth.
        {"binary shared chain reached again from deep down", write([] {
             std::vector<Bytes> objects{container(0xA, {300, 1})};
             for (int i = 1; i < 600; ++i)
                 objects.push_back(container(0xA, {i + 1}));
             objects.push_back({0xA0});
             return binaryPlist(objects);
         }()),
         "nested too deeply"},
        {"binary array that holds itself", write(binaryPlist({container(0xA, {0})})),
         "a container holds itself"},
        {"binary reference past the last object", write(binaryPlist({container(0xA, {9})})),
         "truncated or damaged binary property list"},
        {"binary dictionary key holding U+0000",
         write(binaryPlist({container(0xD, {1, 2}), kUtf16KeyWithNul, {0x51, 'x'}})),
         "a dictionary key holds U+0000"},
        {"XML dictionary value without a key",
         write(text("<plist><dict><string>b</string><true/></dict></plist>")),
         "a dictionary value has no key"},
        {"XML dictionary key without a value",
         write(text("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>name</key>"
                    "<string>Warm</string><key>group 0</key><dict><key>count</key></dict>"
                    "</dict></plist>")),
         "a dictionary key has no value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::internal::CaptureStderr();
        {
            const testsupport::AllocationCount allocations;
            EXPECT_THROW(PropertyListSerialization::propertyListWithContentsOfFile(c.path),
                         NSErrorException);
            EXPECT_LT(allocations.count(), 100); // refused before anything is expanded
        }
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(errors.rfind("pf: the property list " + c.path + " cannot be read: ", 0), 0u)
            << errors;
        EXPECT_NE(errors.find(c.reason), std::string::npos) << errors;
        EXPECT_EQ(errors.find('\n'), errors.size() - 1) << errors;
    }
}

TEST_F(HostileFile, WellFormedExtremesStillReadInFull) {
    // A string holding U+0000 keeps every character.
    EXPECT_EQ(read(binaryPlist({kUtf16KeyWithNul})), PlistValue(std::string("A\0", 2)));
    // The deepest nesting allowed, in both forms.
    EXPECT_EQ(read(text(xmlChain(512))).type(), PlistValue::Type::array);
    EXPECT_EQ(read(binaryChain(512)).type(), PlistValue::Type::array);
    // Sharing a subtree is not a cycle.
    EXPECT_EQ(read(binaryPlist({container(0xA, {1, 1}), container(0xA, {2}), {0x51, 'x'}})),
              PlistValue(PlistArray{PlistArray{"x"}, PlistArray{"x"}}));
    // A key that repeats keeps its first place and takes its last value.
    const PlistValue repeated = read(binaryPlist({container(0xD, {1, 2, 1, 3, 4, 5}),
                                                  {0x51, 'a'},
                                                  {0x51, 'b'},
                                                  {0x51, '1'},
                                                  {0x51, '2'},
                                                  {0x51, '3'}}));
    ASSERT_NE(repeated.dictionary(), nullptr);
    EXPECT_EQ(repeated.dictionary()->keys(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(*repeated.dictionary()->find("a"), PlistValue("3"));
    // A file of exactly 4 MiB holding 262,144 elements.
    EXPECT_EQ(read(text(xmlTrues(262143, 4 << 20))).array()->size(), 262143u);
}

} // namespace
} // namespace pf
