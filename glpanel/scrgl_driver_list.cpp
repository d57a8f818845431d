#include "glpanel/scrgl_driver_list.h"

#include <algorithm>
#include <cctype>

#include "glpanel/scrgl_loader.h"
#include "glpanel/scrgl_log.h"
#include "glpanel/scrgl_system.h"
#include "glpanel/scrgl_window_system.h"

namespace dozu {

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string file_name_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void replace_first(std::string& text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
}

// Reads the generic driver's vendor strings through a context on a
// throw-away window.
void probe_vendor() {
    sglLog(0, "Temporarily loading opengl32 to find its vendor information");
    if (sglLoadLibrary("opengl32.dll")) {
        if (TSglDC dc = glplatform::open_popup_canvas("ScrGL.OpenGL32.PixelFormat", "ScrGL.PixelFormatWindow")) {
            int color = -1, depth = -1, dbl = -1, acc = 1;
            const int format = sglChoosePixelFormatEx(dc, &color, &depth, &dbl, &acc);
            if (format && sglSetPixelFormat(dc, format)) {
                if (TSglRC rc = sglCreateContext(dc)) {
                    sglMakeCurrent(dc, rc);
                    sglMakeCurrent(dc, nullptr);
                    sglDeleteContext(rc);
                }
            }
            glplatform::close_canvas(dc);
        }
        sglFreeLibrary();
    }
    sglLog(0, "Finished temporary load. Vendor is " + sglVendor() + ".");
}

}  // namespace

TSglDriverDetails sglDriverDetails(const std::string& file, const std::string& company,
                                   const std::string& description, const std::string& version) {
    TSglDriverDetails details;
    details.fileName = file;
    details.companyName = company;
    details.fileVersion = version;
    details.fileDescription = description;
    const size_t at = company.empty() ? std::string::npos : description.find(company);
    if (at != std::string::npos) details.fileDescription.erase(at, company.size() + 1);
    details.is3dfx =
        lower(company + " " + details.fileDescription + " " + version).find("3dfx") != std::string::npos;
    return details;
}

TSglDriverDetails sglReadDriverDetails(const std::string& file) {
    const glsystem::FileVersionInfo info = glsystem::file_version_info(file);
    return sglDriverDetails(file, info.company, info.description, info.version);
}

bool sglIsDriver3dfx(const std::string& file) { return sglReadDriverDetails(file).is3dfx; }

void TSglDriverStrings::Add(std::string line, std::unique_ptr<TSglDriverDetails> details) {
    lines_.push_back({std::move(line), std::move(details)});
}

void TSglDriverStrings::Replace(int i, std::string line, std::unique_ptr<TSglDriverDetails> details) {
    lines_.at(size_t(i)) = {std::move(line), std::move(details)};
}

void TSglDriverStrings::Delete(int i) {
    if (i >= 0 && i < Count()) lines_.erase(lines_.begin() + i);
}

int TSglDriverShieldedStringList::Add(const std::string& line) {
    const auto at = std::find(lines_.begin(), lines_.end(), line);
    if (at != lines_.end()) return int(at - lines_.begin());
    lines_.push_back(line);
    changed();
    return Count() - 1;
}

void TSglDriverShieldedStringList::Delete(int i) {
    if (i < 0 || i >= Count()) return;
    lines_.erase(lines_.begin() + i);
    changed();
}

void TSglDriverShieldedStringList::Clear() {
    lines_.clear();
    changed();
}

void TSglDriverShieldedStringList::Assign(const std::vector<std::string>& lines) {
    lines_.clear();
    for (const std::string& line : lines)
        if (std::find(lines_.begin(), lines_.end(), line) == lines_.end()) lines_.push_back(line);
    changed();
}

TSglDriverList::TSglDriverList() {
    search_.Assign(
        {"<project>/libGL*.so*", "<project>/*3dfx*GL*.so*", "<windows>/libGL*.so*", "<system>/libGL*.so*"});
    search_.OnChange = [this] { built_ = false; };
}

const TSglDriverStrings& TSglDriverList::GetDrivers() {
    if (built_) return drivers_;
    if (!sglVendorQueried() && !sglLibraryHandle()) probe_vendor();
    built_ = true;
    drivers_.Clear();

    const std::string project = glsystem::application_folder();
    const std::string windows = glsystem::common_library_folder();
    const std::string system = glsystem::system_library_folder();
    for (std::string pattern : search_.Lines()) {
        replace_first(pattern, "<project>", project);
        replace_first(pattern, "<windows>", windows);
        replace_first(pattern, "<system>", system);
        for (const std::string& file : glsystem::find_files(pattern)) {
            const std::string name = file_name_of(file);
            bool listed = false;
            for (int i = 0; i < drivers_.Count() && !listed; ++i) {
                const std::string& other = drivers_.Details(i).fileName;
                listed = lower(other) == lower(file) || file_name_of(other) == name;
            }
            if (listed) continue;
            auto details = std::make_unique<TSglDriverDetails>(sglReadDriverDetails(file));
            std::string line =
                name + " - " + details->companyName + " " + details->fileDescription + " " + details->fileVersion;
            if (glsystem::is_generic_library_file(name) && sglVendorKnown())
                line = name + " - " + sglVendor() + " " + sglRenderer() + " " + sglVersion();
            drivers_.Add(std::move(line), std::move(details));
        }
    }
    return drivers_;
}

}  // namespace dozu
