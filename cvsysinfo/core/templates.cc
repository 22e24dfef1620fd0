#include "core/templates.h"

#include <cvtt.h>
#include <stdio.h>
#include <string.h>

#include "core/report.h"
#include "core/xml_safe.h"

namespace cvsysinfo {
namespace {

// The children of one template are written for information only: their
// results do not stop the document, as the closing of the template does.
void writeOptional(xmlTextWriterPtr writer, const char* name, const char* text) {
  if (text) xmlTextWriterWriteFormatElement(writer, reinterpret_cast<const xmlChar*>(name), "%s",
                                            xmlSafeTextC(text).c_str());
}

void add_template(xmlTextWriterPtr writer, const struct tmpl_list_el* entry) {
  startElement(writer, "add_templates", __LINE__, "TEMPLATE");
  if (const struct tmpl_info* info = entry->info) {
    writeOptional(writer, "Name", info->name);
    writeOptional(writer, "OSName", info->osname);
    writeOptional(writer, "OSVersion", info->osver);
    writeOptional(writer, "Architecture", info->arch);
    writeOptional(writer, "Summary", info->summary);
    writeOptional(writer, "Timestamp", entry->timestamp);
    xmlTextWriterWriteFormatElement(writer, reinterpret_cast<const xmlChar*>("IsOsTemplate"), "%d",
                                    entry->is_os);
    if (info->cached) writeOptional(writer, "IsCached", strcmp(info->cached, "yes") == 0 ? "1" : "0");
  }
  endElement(writer, "add_templates", __LINE__);
}

}  // namespace

void add_templates(xmlTextWriterPtr writer) {
  startElement(writer, "add_templates", __LINE__, "CVTEMPLATES");
  char** bases = nullptr;
  int rc = cvtt_get_all_base(&bases);
  if (rc != 0) {
    fprintf(stderr, "Failed to retrieve Lyte templates list, err = %d!\n", rc);
  } else {
    for (char** base = bases; base && *base; ++base) {
      struct options_cvtt options;
      memset(&options, 0, sizeof options);
      cvtt_set_default_options(&options);
      struct tmpl_list_el** list = nullptr;
      rc = cvtt_get_templates_list(*base, &options, &list);
      if (rc != 0) {
        fprintf(stderr, "Failed to retrieve application templates list for '%s' OS template, err = %d!\n",
                *base, rc);
        continue;
      }
      for (struct tmpl_list_el** entry = list; entry && *entry; ++entry) add_template(writer, *entry);
      cvtt_clean_templates_list(list);
    }
  }
  endElement(writer, "add_templates", __LINE__);
}

}  // namespace cvsysinfo
