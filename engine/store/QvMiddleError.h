// The library-wide error word and every code it can hold. A code is
// 0x02000000 plus the value of its case; 0x2000000 is success. Engine
// operations answer a truth value and leave the reason here.
#pragma once

#include <cstdint>

#include "engine/QvMiddleExport.h"

extern "C" {
QVMIDDLE_API uint32_t GetQvMiddleError();
QVMIDDLE_API void SetQvMiddleError(uint32_t code);
}

// Codes, by area. Each area's block is kept in ascending order.
enum : uint32_t {
  QVMDL_SUCCESS = 0x2000000,

  // --- operation level, rules files, signatures, storage set (0x2000002-0x2000043)

  // --- message-store files (0x2000044-0x2000092)
  QVMDL_ERR_STG_FILE_FMTILLGL_EML = 0x2000047,
  QVMDL_ERR_STG_FILEIO_FILE_OPEN_EML = 0x2000052,
  QVMDL_ERR_STG_FILEIO_FILE_READ_EML = 0x2000060,

  // --- profile files, accounts, registry, retrievers, common settings (0x2000099-0x20000e5)

  // --- writing files and free space (0x2000201-0x200020c)
  QVMDL_ERR_STG_DISK_FULL = 0x2000207,

  // --- memory and text conversion (0x2000401-0x2000409)
  QVMDL_ERR_EML_NOT_ENOUGH_MEMORY = 0x2000401,  // mailtext: memory guard, failed conversions
  QVMDL_ERR_STG_NOT_ENOUGH_MEMORY = 0x2000407,

  // --- network, mail text, MIME encoding (0x2000601-0x2000902)
  QVMDL_ERR_EML_NULL_ARGUMENT = 0x2000801,  // mailtext: null record or text given to the composer
  QVMDL_ERR_EML_NO_HEADER_END = 0x2000802,  // mailtext: no blank line after the header
  QVMDL_ERR_EML_BAD_CONTENT = 0x2000803,    // mailtext: undecodable part, not a mailto link
  QVMDL_ERR_EML_ATTACH_OPEN = 0x2000901,       // mailtext: attachment file not readable
  QVMDL_ERR_EML_ATTACH_NOT_FOUND = 0x2000902,  // mailtext: attachment file missing

  // --- protocol clients, feeds, attachments (0x2002001-0x2002401)

  // --- exporter, importer, classifier, limits, parameters (0x2004001-0x2004503)

  // --- store nodes, folders and ids (0x2004701-0x2004722)
};
