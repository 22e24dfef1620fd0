#include "templates/templates.h"

#include <cvtt_options.h>
#include <stdio.h>
#include <string.h>

#include "core/diagnostics.h"
#include "core/xml_safe.h"
#include "core/xml_writer.h"

namespace cvsysinfo {
namespace {

// The children of one template are written for information only: their
// results do not stop the document, as the closing of the template does.
void write_optional(xmlTextWriterPtr writer, const char* name, const char* text) {
  if (text) xmlTextWriterWriteFormatElement(writer, reinterpret_cast<const xmlChar*>(name), "%s",
                                            xml_safe_text_c(text).c_str());
}

void add_template(xmlTextWriterPtr writer, const struct tmpl_list_el* entry) {
  SectionWriter out(writer, "add_templates");
  out.start("TEMPLATE");
  if (const struct tmpl_info* info = entry->info) {
    write_optional(writer, "Name", info->name);
    write_optional(writer, "OSName", info->osname);
    write_optional(writer, "OSVersion", info->osver);
    write_optional(writer, "Architecture", info->arch);
    write_optional(writer, "Summary", info->summary);
    write_optional(writer, "Timestamp", entry->timestamp);
    xmlTextWriterWriteFormatElement(writer, reinterpret_cast<const xmlChar*>("IsOsTemplate"), "%d",
                                    entry->is_os);
    if (info->cached) write_optional(writer, "IsCached", strcmp(info->cached, "yes") == 0 ? "1" : "0");
  }
  out.end();
}

}  // namespace

void add_templates(xmlTextWriterPtr writer) {
  SectionWriter out(writer, "add_templates");
  out.start("CVTEMPLATES");
  char** bases = nullptr;
  int rc = cvtt_get_all_base(&bases);
  if (rc != 0) {
    diagnostic("Failed to retrieve Lyte templates list, err = %d!\n", rc);
  } else {
    for (char** base = bases; base && *base; ++base) {
      union cvtt_options options;
      cvtt_fill_default_options(&options);
      struct tmpl_list_el** list = nullptr;
      rc = cvtt_get_templates_list(*base, &options.record, &list);
      if (rc != 0) {
        diagnostic("Failed to retrieve application templates list for '%s' OS template, err = %d!\n", *base,
                   rc);
        continue;
      }
      for (struct tmpl_list_el** entry = list; entry && *entry; ++entry) add_template(writer, *entry);
      cvtt_clean_templates_list(list);
    }
  }
  out.end();
}

}  // namespace cvsysinfo
