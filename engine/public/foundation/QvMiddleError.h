// The library-wide error word and every code it can hold. A code is
// 0x02000000 plus the value of its case; 0x2000000 is success. Engine
// operations answer a truth value and leave the reason here.
#pragma once

#include <cstdint>

#include "engine/public/QvMiddleExport.h"

extern "C" {
QVMIDDLE_API uint32_t GetQvMiddleError();
QVMIDDLE_API void SetQvMiddleError(uint32_t code);
}

// Codes, by area. Each area's block is kept in ascending order.
enum : uint32_t {
  QVMDL_SUCCESS = 0x2000000,

  // --- operation level, rules files, signatures, storage set (0x2000002-0x2000043)
  QVMDL_ERR_EML_FILE_IO = 0x2000002,  // a template or part file could not be opened, read or written
  QVMDL_ERR_SYS_INI_CREATE = 0x2000002,  // "SystemInfo.ini" could not be created for writing
  // mail files exported and imported (QvMessageExporter, QvMessageImporter)
  QVMDL_ERR_EXP_CREATE = 0x2000003,  // an export file could not be created
  QVMDL_ERR_EXP_WRITE = 0x2000004,   // an export file could not be written, flushed or closed
  QVMDL_ERR_IMP_OPEN = 0x2000005,    // an import file could not be opened
  QVMDL_ERR_IMP_READ = 0x2000006,    // an import file could not be read whole
  // classification rules ("\Rule.cls", the older "\Data.ini")
  QVMDL_ERR_CLS_CREATE_FILE = 0x2000009,         // an empty rule file could not be created
  QVMDL_ERR_CLS_FIND_FOLDER = 0x200000B,         // destroying: the folder could not be searched
  QVMDL_ERR_CLS_DELETE_FILE = 0x200000C,         // destroying: a file could not be deleted
  QVMDL_ERR_CLS_REMOVE_FOLDER = 0x200000D,       // destroying: a sub-folder could not be removed
  QVMDL_ERR_CLS_NO_LINE_END = 0x2000018,         // a five-column line without CR LF
  QVMDL_ERR_CLS_FORMAT = 0x2000019,              // a line or the older file is malformed
  QVMDL_ERR_CLS_OPEN = 0x200001A,                // the rule file could not be opened or created
  QVMDL_ERR_CLS_WRITE = 0x200001B,               // writing the rule file failed
  QVMDL_ERR_CLS_READ = 0x200001C,                // reading the rule file failed
  QVMDL_ERR_CLS_SAFESAVE_BACKUP = 0x200001E,     // safe-replace results for the rule file
  QVMDL_ERR_CLS_SAFESAVE_DELBAK = 0x200001F,
  QVMDL_ERR_CLS_SAFESAVE_RESTOREBAK = 0x2000020,
  QVMDL_ERR_CLS_SAFESAVE_DELTMP = 0x2000021,
  QVMDL_ERR_CLS_SAFESAVE_MOVETMP = 0x2000022,
  QVMDL_ERR_CLS_SAFESAVE_NOFILE = 0x2000023,
  QVMDL_ERR_CLS_CONVERT = 0x2000024,             // the older file could not be converted
  QVMDL_ERR_CLS_NO_DIRECTION = 0x2000025,        // lines without the direction column were read
  // signature files and folder trees
  QVMDL_ERR_SIG_FIND_FOLDER = 0x2000026,
  QVMDL_ERR_SIG_DELETE_FILE = 0x2000027,
  QVMDL_ERR_SIG_REMOVE_FOLDER = 0x2000028,
  QVMDL_ERR_SIG_CREATE_DATA1 = 0x2000029,
  QVMDL_ERR_SIG_CREATE_DATA2 = 0x200002A,
  QVMDL_ERR_SIG_OPEN_DATA1 = 0x200002D,
  QVMDL_ERR_SIG_OPEN_DATA2 = 0x200002E,
  QVMDL_ERR_SIG_READ_DATA1 = 0x200002F,
  QVMDL_ERR_SIG_READ_DATA2 = 0x2000030,
  QVMDL_ERR_SIG_WRITE_DATA1 = 0x2000031,
  QVMDL_ERR_SIG_WRITE_DATA2 = 0x2000032,
  QVMDL_ERR_SIG_DELTMP_DATA1 = 0x2000033,
  QVMDL_ERR_SIG_DELTMP_DATA2 = 0x2000034,
  QVMDL_ERR_SIG_DELBAK_DATA1 = 0x2000035,
  QVMDL_ERR_SIG_DELBAK_DATA2 = 0x2000036,
  QVMDL_ERR_SIG_MOVETMP_DATA1 = 0x2000037,
  QVMDL_ERR_SIG_MOVETMP_DATA2 = 0x2000038,
  QVMDL_ERR_SIG_RESTOREBAK_DATA1 = 0x2000039,
  QVMDL_ERR_SIG_RESTOREBAK_DATA2 = 0x200003A,
  QVMDL_ERR_SIG_BACKUP_DATA1 = 0x200003B,
  QVMDL_ERR_SIG_BACKUP_DATA2 = 0x200003C,
  QVMDL_ERR_SIG_NOFILE_DATA1 = 0x200003D,
  QVMDL_ERR_SIG_NOFILE_DATA2 = 0x200003E,
  QVMDL_ERR_SIG_TOOLARGE_DATA1 = 0x200003F,
  QVMDL_ERR_SIG_TOOLARGE_DATA2 = 0x2000040,

  // --- message-store files (0x2000044-0x2000092)
  QVMDL_ERR_STG_FILE_FMTILLGL_FLD = 0x2000044,  // folder lists and header cache
  QVMDL_ERR_STG_FILE_FMTILLGL_MSG = 0x2000045,
  QVMDL_ERR_STG_FILE_FMTILLGL_FDB = 0x2000046,
  QVMDL_ERR_STG_FILE_FMTILLGL_EML = 0x2000047,
  QVMDL_ERR_STG_FILE_FMTILLGL_ENTRY = 0x2000048,  // message set, folder set, stored messages
  QVMDL_ERR_STG_DIR_EXISTS_TREE = 0x2000049,
  QVMDL_ERR_STG_DIR_CREATE_TREE = 0x200004A,
  QVMDL_ERR_STG_DIR_EXISTS_DATA = 0x200004B,
  QVMDL_ERR_STG_DIR_CREATE_DATA = 0x200004C,
  QVMDL_ERR_STG_FILEIO_FILE_OPEN_TREESTATUS = 0x200004D,
  QVMDL_ERR_STG_FILEIO_FILE_OPEN_MSG = 0x200004E,
  QVMDL_ERR_STG_FILEIO_FILE_OPEN_FLD = 0x200004F,
  QVMDL_ERR_STG_FILEIO_FILE_OPEN_FDB = 0x2000050,
  QVMDL_ERR_STG_FILEIO_FILE_OPEN_DATASTATUS = 0x2000051,
  QVMDL_ERR_STG_FILEIO_FILE_OPEN_EML = 0x2000052,
  QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY = 0x2000053,
  QVMDL_ERR_STG_FILEIO_FILE_WRITE_TREESTATUS = 0x2000054,
  QVMDL_ERR_STG_FILEIO_FILE_WRITE_MSG = 0x2000055,
  QVMDL_ERR_STG_FILEIO_FILE_WRITE_FLD = 0x2000056,
  QVMDL_ERR_STG_FILEIO_FILE_WRITE_FDB = 0x2000057,
  QVMDL_ERR_STG_FILEIO_FILE_WRITE_DATASTATUS = 0x2000058,
  QVMDL_ERR_STG_FILEIO_FILE_WRITE_EML = 0x2000059,
  QVMDL_ERR_STG_FILEIO_FILE_WRITE_ENTRY = 0x200005A,
  QVMDL_ERR_STG_FILEIO_FILE_READ_TREESTATUS = 0x200005B,
  QVMDL_ERR_STG_FILEIO_FILE_READ_MSG = 0x200005C,
  QVMDL_ERR_STG_FILEIO_FILE_READ_FLD = 0x200005D,
  QVMDL_ERR_STG_FILEIO_FILE_READ_FDB = 0x200005E,
  QVMDL_ERR_STG_FILEIO_FILE_READ_DATASTATUS = 0x200005F,
  QVMDL_ERR_STG_FILEIO_FILE_READ_EML = 0x2000060,
  QVMDL_ERR_STG_FILEIO_FILE_READ_ENTRY = 0x2000061,
  QVMDL_ERR_STG_SAFESAVE_DELTMP_TREESTATUS = 0x2000066,
  QVMDL_ERR_STG_SAFESAVE_MOVETMP_TREESTATUS = 0x2000067,
  QVMDL_ERR_STG_SAFESAVE_NOFILE_TREESTATUS = 0x2000068,
  QVMDL_ERR_STG_SAFESAVE_BACKUP_DATASTATUS = 0x200006A,
  QVMDL_ERR_STG_SAFESAVE_DELBAK_DATASTATUS = 0x200006B,
  QVMDL_ERR_STG_SAFESAVE_RESTOREBAK_DATASTATUS = 0x200006C,
  QVMDL_ERR_STG_SAFESAVE_DELTMP_DATASTATUS = 0x200006D,
  QVMDL_ERR_STG_SAFESAVE_MOVETMP_DATASTATUS = 0x200006E,
  QVMDL_ERR_STG_SAFESAVE_NOFILE_DATASTATUS = 0x200006F,
  QVMDL_ERR_STG_SAFESAVE_BACKUP_MSG = 0x2000071,  // safe-save results per file kind
  QVMDL_ERR_STG_SAFESAVE_DELBAK_MSG = 0x2000072,
  QVMDL_ERR_STG_SAFESAVE_RESTOREBAK_MSG = 0x2000073,
  QVMDL_ERR_STG_SAFESAVE_DELTMP_MSG = 0x2000074,
  QVMDL_ERR_STG_SAFESAVE_MOVETMP_MSG = 0x2000075,
  QVMDL_ERR_STG_SAFESAVE_NOFILE_MSG = 0x2000076,
  QVMDL_ERR_STG_SAFESAVE_BACKUP_FLD = 0x2000078,
  QVMDL_ERR_STG_SAFESAVE_DELBAK_FLD = 0x2000079,
  QVMDL_ERR_STG_SAFESAVE_RESTOREBAK_FLD = 0x200007A,
  QVMDL_ERR_STG_SAFESAVE_DELTMP_FLD = 0x200007B,
  QVMDL_ERR_STG_SAFESAVE_MOVETMP_FLD = 0x200007C,
  QVMDL_ERR_STG_SAFESAVE_NOFILE_FLD = 0x200007D,
  QVMDL_ERR_STG_SAFESAVE_BACKUP_FDB = 0x200007F,
  QVMDL_ERR_STG_SAFESAVE_DELBAK_FDB = 0x2000080,
  QVMDL_ERR_STG_SAFESAVE_RESTOREBAK_FDB = 0x2000081,
  QVMDL_ERR_STG_SAFESAVE_DELTMP_FDB = 0x2000082,
  QVMDL_ERR_STG_SAFESAVE_MOVETMP_FDB = 0x2000083,
  QVMDL_ERR_STG_SAFESAVE_NOFILE_FDB = 0x2000084,
  QVMDL_ERR_STG_SAFESAVE_DELBAK_EML = 0x2000087,
  QVMDL_ERR_STG_SAFESAVE_RESTOREBAK_EML = 0x2000088,
  QVMDL_ERR_STG_SAFESAVE_DELTMP_EML = 0x2000089,
  QVMDL_ERR_STG_SAFESAVE_MOVETMP_EML = 0x200008A,
  QVMDL_ERR_STG_SAFESAVE_NOFILE_EML = 0x200008B,
  QVMDL_ERR_STG_FILE_VERSION_EML = 0x200008C,  // bad magic or version on read
  QVMDL_ERR_STG_SAFESAVE_DELBAK_ENTRY = 0x200008F,
  QVMDL_ERR_STG_SAFESAVE_RESTOREBAK_ENTRY = 0x2000090,
  QVMDL_ERR_STG_SAFESAVE_DELTMP_ENTRY = 0x2000091,
  QVMDL_ERR_STG_SAFESAVE_MOVETMP_ENTRY = 0x2000092,

  // --- profile files, accounts, registry, retrievers, common settings (0x2000099-0x20000e5)
  // profile files
  QVMDL_ERR_PRF_NAME_HAS_EQUAL = 0x2000099,     // a name holds "="
  QVMDL_ERR_PRF_TMP_DELETE = 0x200009a,         // a left-over "_tmp" could not be deleted
  QVMDL_ERR_PRF_TMP_MOVE = 0x200009b,           // a left-over "_tmp" could not be moved into place
  QVMDL_ERR_PRF_FILE_NOT_FOUND = 0x200009c,     // neither the file nor its "_tmp" exists
  QVMDL_ERR_PRF_FILE_WRITE = 0x200009d,         // creating the file or copying a line failed
  QVMDL_ERR_PRF_COMMIT = 0x200009e,             // the rewritten copy could not replace the file
  QVMDL_ERR_PRF_READ_OPEN = 0x200009f,          // the file could not be opened for reading
  QVMDL_ERR_PRF_WRITE_OPEN = 0x20000a0,         // the file or its copy could not be opened to rewrite
  QVMDL_ERR_PRF_WRITE_NO_FILE = 0x20000a1,      // single-value write into a missing file
  QVMDL_ERR_PRF_BATCH_NO_FILE = 0x20000a2,      // batch write into a missing file
  QVMDL_ERR_PRF_BATCH_OPEN = 0x20000a3,         // a batch pass could not open the file
  QVMDL_ERR_PRF_BATCH_BOM_WRITE = 0x20000a4,    // batch write: the byte-order-mark line failed
  QVMDL_ERR_PRF_BATCH_KEY_WRITE = 0x20000a5,    // batch write: the key line or the values failed
  QVMDL_ERR_PRF_BATCH_COMMIT = 0x20000a6,       // batch write: the copy could not replace the file
  // accounts: the data folder, account objects and their files
  QVMDL_ERR_ACC_LIST_START = 0x20000a9,         // the data folder cannot be listed
  QVMDL_ERR_ACC_LIST_EMPTY = 0x20000aa,         // the data folder holds no account
  // account settings record
  QVMDL_ERR_ACC_READ_NO_MASK = 0x20000ab,       // settings read with an empty mask
  QVMDL_ERR_ACC_WRITE_NO_MASK = 0x20000ac,      // settings write with an empty mask
  QVMDL_ERR_ACC_WRITE_FAILED = 0x20000ad,       // settings write failed
  QVMDL_ERR_ACC_SIGNATURE_DIR = 0x20000ae,      // no usable signature folder name
  QVMDL_ERR_ACC_STORAGE_DIR = 0x20000af,        // no usable storage folder name
  QVMDL_ERR_ACC_CLASSIFICATION_DIR = 0x20000b0, // no usable classification folder name
  QVMDL_ERR_ACC_GUID_FORMAT = 0x20000b1,        // the stored network GUID text is malformed
  QVMDL_ERR_ACC_UIDL_OPEN = 0x20000b4,          // "\UID.list" could not be written
  QVMDL_ERR_ACC_LASTUID_READ = 0x20000b5,       // "\LastUID.ini" could not be read
  QVMDL_ERR_ACC_STORAGE_FACADE = 0x20000b6,     // no storage facade for the account
  QVMDL_ERR_ACC_SIGNATURE_FACADE = 0x20000b7,   // no signature facade for the account
  QVMDL_ERR_ACC_RULES_FACADE = 0x20000b8,       // no classification facade for the account
  QVMDL_ERR_ACC_INVALID_NAME = 0x20000b9,       // an account name the store cannot hold
  QVMDL_ERR_ACC_DELETE_HELD = 0x20000ba,        // the account or one of its parts is open
  QVMDL_ERR_ACC_DELETE_FILES = 0x20000bb,       // the account's files could not all be deleted
  QVMDL_ERR_ACC_FOLDER_MISSING = 0x20000bc,     // the account folder does not exist
  QVMDL_ERR_ACC_NOT_A_FOLDER = 0x20000bd,       // the account path is no folder
  QVMDL_ERR_ACC_NO_MEMORY = 0x20000be,          // no memory for an account object
  QVMDL_ERR_ACC_CREATE_FOLDER = 0x20000bf,      // an account folder could not be created
  QVMDL_ERR_ACC_BUSY = 0x20000c0,               // deleting or renaming: a receive or send holds the account
  QVMDL_ERR_ACC_LASTUID_CREATE = 0x20000ca,     // "\LastUID.ini" could not be created
  QVMDL_ERR_ACC_UIDL_CREATE = 0x20000cc,        // "\UID.list" could not be created
  // registry helpers
  QVMDL_ERR_REG_VALUE = 0x20000cd,              // a registry value could not be read or written
  QVMDL_ERR_REG_KEY = 0x20000ce,                // a registry key could not be opened or created
  // common settings
  QVMDL_ERR_ACC_UID_SIZE = 0x20000d6,           // the last UID's wide size cannot be computed
  QVMDL_ERR_ACC_UID_CONVERT = 0x20000d7,        // the last UID cannot be converted
  QVMDL_ERR_ACC_UIDL_WRITE = 0x20000da,         // a UID of the list could not be written
  QVMDL_ERR_ACC_UIDL_LINE_END = 0x20000db,      // a line end of the list could not be written
  QVMDL_ERR_CMS_READ_NO_MASK = 0x20000dc,       // common settings read with an empty mask
  QVMDL_ERR_CMS_WRITE_NO_MASK = 0x20000dd,      // common settings write with an empty mask
  QVMDL_ERR_CMS_WRITE_FAILED = 0x20000de,       // a common setting could not be written
  QVMDL_ERR_CMS_NO_SYSINFO_PATH = 0x20000df,    // "SystemInfoPath" is missing
  QVMDL_ERR_CMS_CREATE_FILE = 0x20000e0,        // "CommonSetting.ini" could not be created

  // --- writing files and free space (0x2000201-0x200020c)
  QVMDL_ERR_EML_DISK_SPACE = 0x2000201,   // too little room for a part file, or a short write
  QVMDL_ERR_EXP_DISK_FULL = 0x2000202,  // the volume filled while an export file was written
  QVMDL_ERR_IMP_DISK_FULL = 0x2000203,  // the volume is full while an import file is opened
  QVMDL_ERR_CLS_DISK_FULL = 0x2000205,  // rules: the volume is full
  QVMDL_ERR_SIG_DISK_SPACE = 0x2000206,  // signature writes refused for free space
  QVMDL_ERR_STG_DISK_FULL = 0x2000207,
  QVMDL_ERR_EML_FILE_EXISTS = 0x2000208,  // a part file of that name already exists
  QVMDL_ERR_EML_FILE_MISSING = 0x2000209, // template or picture file does not exist
  QVMDL_ERR_PRF_DISK_SPACE = 0x200020a,         // too little room for a single-value profile write
  QVMDL_ERR_ACC_DISK_SPACE = 0x200020b,         // too little room to make an account
  QVMDL_ERR_PRF_BATCH_DISK_SPACE = 0x200020c,   // too little room for a batch profile write

  // --- memory and text conversion (0x2000401-0x2000409)
  QVMDL_ERR_EML_NOT_ENOUGH_MEMORY = 0x2000401,  // memory guard, failed conversions
  QVMDL_ERR_IMP_NO_MEMORY = 0x2000403,  // an import file larger than free memory or than a stored message
  QVMDL_ERR_CLASSIFY_NOT_ENOUGH_MEMORY = 0x2000404,  // classifier: lower-casing a rule or a field
  QVMDL_ERR_CLS_NOT_ENOUGH_MEMORY = 0x2000405,  // rules: the rule cache or a line
  QVMDL_ERR_SIG_NOT_ENOUGH_MEMORY = 0x2000406,  // signature buffers
  QVMDL_ERR_STG_NOT_ENOUGH_MEMORY = 0x2000407,
  QVMDL_ERR_PRF_ALLOC_LINE = 0x2000408,         // profile rewrite: the line buffer
  QVMDL_ERR_PRF_ALLOC_TEXT = 0x2000409,         // profile rewrite: the text buffer

  // --- network, mail text, MIME encoding (0x2000601-0x2000902)
  QVMDL_ERR_NET_LINK_LOST = 0x2000601,  // the data connection went down while sending or receiving
  QVMDL_ERR_EML_NULL_ARGUMENT = 0x2000801,  // null record or text given to the composer
  QVMDL_ERR_EML_NO_HEADER_END = 0x2000802,  // no blank line after the header
  QVMDL_ERR_EML_BAD_CONTENT = 0x2000803,    // undecodable part, not a mailto link
  QVMDL_ERR_EXP_CANCELLED = 0x2000804,
  QVMDL_ERR_IMP_NO_SENDER = 0x2000805,  // an import file has no sender address or no date
  QVMDL_ERR_IMP_CANCELLED = 0x2000806,
  QVMDL_ERR_STG_FOLDER_FULL = 0x2000807,  // more than 1000 messages in one folder
  QVMDL_ERR_STG_USER_FOLDER_LIMIT = 0x2000808,  // the user has made 20 folders already
  QVMDL_ERR_EML_ATTACH_OPEN = 0x2000901,       // attachment file not readable
  QVMDL_ERR_EML_ATTACH_NOT_FOUND = 0x2000902,  // attachment file missing

  // --- protocol clients, feeds, attachments (0x2002001-0x2002401)
  QVMDL_ERR_EML_PICTURE_PARTS = 0x2002001,  // a picture mail without its picture and another part
  // POP3 client (engine/transport/PopClient*)
  QVMDL_ERR_POP_NO_THREAD = 0x2002001,        // no worker thread
  QVMDL_ERR_POP_LOGIN = 0x2002002,            // USER, PASS or APOP refused
  QVMDL_ERR_POP_NO_NETWORK = 0x2002003,       // no network library, no socket, or no secure socket
  QVMDL_ERR_POP_CONNECT = 0x2002004,          // host unknown, connect failed or timed out
  QVMDL_ERR_POP_SOCKET = 0x2002005,           // send or receive failed, or closed before "QUIT"
  QVMDL_ERR_POP_UNEXPECTED = 0x2002006,       // unexpected answer, bad list line, answer over its limit
  QVMDL_ERR_POP_NO_TIMESTAMP = 0x2002007,     // APOP without a time stamp in the greeting
  QVMDL_ERR_POP_CANCELLED = 0x2002008,
  QVMDL_ERR_POP_ABORTED = 0x2002009,
  QVMDL_ERR_POP_NO_MEMORY = 0x200200c,        // too little memory to fetch a message
  QVMDL_ERR_POP_TIMEOUT = 0x200200d,          // no complete answer within the network wait
  QVMDL_ERR_POP_LIST_SIZES = 0x200200e,       // "LIST n" refused while adding up sizes
  QVMDL_ERR_POP_LIST_MESSAGE = 0x200200f,     // "LIST n" refused before a fetch
  QVMDL_ERR_POP_STAT = 0x2002010,
  QVMDL_ERR_POP_FETCH = 0x2002011,            // "RETR" or "TOP" refused
  QVMDL_ERR_POP_DELE = 0x2002012,             // "DELE" of a fetched message refused
  QVMDL_ERR_POP_DELE_RECEIVED = 0x2002013,    // "DELE" of an earlier received message refused
  QVMDL_ERR_POP_DELE_LISTED = 0x2002014,      // "DELE" of a listed message refused
  QVMDL_ERR_POP_LAST_UIDL = 0x2002015,        // "UIDL n" refused
  QVMDL_ERR_POP_QUIT = 0x2002016,             // "QUIT" refused
  // Retriever (engine/transport/QvRetriever*)
  QVMDL_ERR_RECV_NO_ACCOUNT = 0x2002019,      // no account given
  QVMDL_ERR_RECV_NO_CONNECTION = 0x200201a,   // the data connection did not come up
  QVMDL_ERR_RECV_RELEASE = 0x200201b,         // the data connection could not be released
  QVMDL_ERR_RECV_NO_NEW_MAIL = 0x200201c,
  QVMDL_ERR_RECV_MESSAGE_LIMIT = 0x200201d,   // no more room under the account's message limit
  QVMDL_ERR_RECV_EMPTY_MESSAGE = 0x200201e,
  QVMDL_ERR_RECV_NO_UID = 0x200201f,          // a fetched message without UID
  QVMDL_ERR_RECV_ACCOUNT_BUSY = 0x2002020,    // a receive, send or deletion of the account is running
  QVMDL_ERR_RECV_NO_CARRIER_ACCOUNT = 0x2000007,
  QVMDL_ERR_RECV_PARTIAL_TWICE = 0x20000d0,   // a partial copy of a message already being completed
  QVMDL_ERR_RECV_UID_NOT_MAPPED = 0x20000d1,  // no stored message for the UID
  QVMDL_ERR_RECV_UID_TWICE = 0x20000d5,       // two selected messages of one UID
  QVMDL_ERR_RECV_OBSERVER_TAKEN = 0x20000d8,  // an observer is registered already
  // SMTP client (engine/transport/SmtpClient*)
  QVMDL_ERR_SMTP_NO_THREAD = 0x2002101,       // no worker thread; a body send failed otherwise
  QVMDL_ERR_SMTP_AUTH = 0x2002102,            // AUTH, POP-before-SMTP login or STARTTLS refused or failed
  QVMDL_ERR_SMTP_NO_NETWORK = 0x2002103,      // no network library, no socket, or no secure socket
  QVMDL_ERR_SMTP_CONNECT = 0x2002104,         // host unknown, connect failed or timed out
  QVMDL_ERR_SMTP_POP_CONNECT = 0x2002105,     // the POP server of POP-before-SMTP not reachable
  QVMDL_ERR_SMTP_SOCKET = 0x2002106,          // send or receive failed, or the server closed
  QVMDL_ERR_SMTP_UNEXPECTED = 0x2002107,      // unexpected reply, or a reply over its limit
  QVMDL_ERR_SMTP_NO_RECIPIENT = 0x2002109,    // no recipients, or no idle session for the next message
  QVMDL_ERR_SMTP_CANCELLED = 0x200210A,
  QVMDL_ERR_SMTP_NO_AUTH = 0x200210B,         // no AUTH offered, or the CRAM-MD5 exchange given up
  QVMDL_ERR_SMTP_NO_MECHANISM = 0x200210C,    // AUTH offered without LOGIN or CRAM-MD5
  QVMDL_ERR_SMTP_TIMEOUT = 0x200210D,         // no reply or send completion within the network wait
  QVMDL_ERR_SMTP_ADDRESS = 0x200210E,         // "MAIL FROM" or a "RCPT TO" refused
  // Outgoing queue (Sender)
  QVMDL_ERR_SEND_ACCOUNT = 0x200210F,         // account settings unreadable or the send box not open
  QVMDL_ERR_SEND_NO_SPACE = 0x2002111,        // no room made under the message limit
  QVMDL_ERR_SEND_CONNECTION = 0x2002112,      // the data connection did not come up
  QVMDL_ERR_SEND_MESSAGE_READ = 0x2002113,    // a waiting message could not be read
  QVMDL_ERR_SEND_NO_RECIPIENT = 0x2002116,    // a waiting message has no recipient
  QVMDL_ERR_SEND_STORAGE_OPEN = 0x2002117,    // storage, root folder or send box not open
  QVMDL_ERR_SEND_CANCELLED = 0x2002118,
  QVMDL_ERR_SEND_SENT_BOX_FULL = 0x2002119,   // the sent box has no room for every message
  QVMDL_ERR_SEND_ACCOUNT_BUSY = 0x200211A,    // a send, receive or deletion of the account is running
  QVMDL_ERR_RECV_TIMER = 0x2002201,             // the periodic-receive notification was refused

  // --- exporter, importer, classifier, limits, parameters (0x2004001-0x2004503)
  QVMDL_ERR_EXP_NO_SOURCE = 0x2004001,       // an empty message list
  QVMDL_ERR_EXP_NULL_MESSAGE = 0x2004002,    // a null message in the list
  QVMDL_ERR_EXP_NO_DESTINATION = 0x2004003,  // an empty directory
  QVMDL_ERR_EXP_NULL_NOTIFY = 0x2004004,
  QVMDL_ERR_EXP_FIRE_NO_SOURCE = 0x2004005,
  QVMDL_ERR_EXP_FIRE_NO_DESTINATION = 0x2004006,
  QVMDL_ERR_IMP_NO_SOURCE = 0x2004101,       // an empty path list
  QVMDL_ERR_IMP_EMPTY_PATH = 0x2004102,      // an empty path in the list
  QVMDL_ERR_IMP_NO_DESTINATION = 0x2004103,  // no folder
  QVMDL_ERR_IMP_NULL_NOTIFY = 0x2004104,
  QVMDL_ERR_IMP_FIRE_NO_SOURCE = 0x2004105,
  QVMDL_ERR_IMP_FIRE_NO_DESTINATION = 0x2004106,
  QVMDL_ERR_IMP_EMPTY_FILE = 0x2004107,
  QVMDL_ERR_LIMIT_NULL_ARGUMENT = 0x2004001,    // message limit: no shortfall to fill (the exporter's code, reused)
  QVMDL_ERR_CLASSIFY_NULL_ACCOUNT = 0x2004301,  // classifier: no account
  QVMDL_ERR_CLS_NULL_ARGUMENT = 0x2004501,  // rules: no vector to fill
  QVMDL_ERR_CLS_TOO_MANY = 0x2004502,       // rules: more than 256
  QVMDL_ERR_CLS_NOT_OPEN = 0x2004503,       // rules: closing an object the cache does not hold

  // --- store nodes, folders and ids (0x2004701-0x2004722)
  QVMDL_ERR_STG_DIR_SEARCH = 0x2004701,  // an id directory could not be searched
  QVMDL_ERR_STG_TREE_EXISTS = 0x2004702,  // ids, lists, header cache
  QVMDL_ERR_STG_TREE_CREATE = 0x2004703,
  QVMDL_ERR_EML_IMAGE_LOAD = 0x2004704,  // a picture could not be read or decoded
  QVMDL_ERR_STG_STATUS_OPEN = 0x2004704,
  QVMDL_ERR_STG_STATUS_WRITE = 0x2004705,
  QVMDL_ERR_STG_STATUS_READ = 0x2004706,
  QVMDL_ERR_SAFESAVE_BACKUP = 0x2004708,  // results of the safe-replace pair
  QVMDL_ERR_SAFESAVE_DELBAK = 0x2004709,
  QVMDL_ERR_SAFESAVE_RESTOREBAK = 0x200470A,
  QVMDL_ERR_SAFESAVE_DELTMP = 0x200470B,
  QVMDL_ERR_SAFESAVE_MOVETMP = 0x200470C,
  QVMDL_ERR_SAFESAVE_NOFILE = 0x200470D,
  QVMDL_ERR_STG_NULL_ARGUMENT = 0x200470E,
  QVMDL_ERR_STG_FOLDER_ID_RANGE = 0x200470F,    // folder id above the tree's largest
  QVMDL_ERR_STG_MESSAGE_ID_RANGE = 0x2004710,   // message id unknown to the message set
  QVMDL_ERR_STG_OBSERVER_REGISTERED = 0x2004711,  // this folder facade has an observer already
  QVMDL_ERR_STG_OBSERVER_REFUSED = 0x2004712,     // the node refused the observer
  QVMDL_ERR_STG_OBSERVER_UNKNOWN = 0x2004713,     // not the observer this facade registered
  QVMDL_ERR_STG_HEADER_TOO_MANY = 0x2004714,
  QVMDL_ERR_STG_FOLDER_NOT_LISTED = 0x2004715,
  QVMDL_ERR_STG_MESSAGE_NOT_LISTED = 0x2004716,
  QVMDL_ERR_STG_HEADER_NOT_FOUND = 0x2004717,
  QVMDL_ERR_STG_FOLDER_OPEN = 0x2004718,   // the folder is open somewhere
  QVMDL_ERR_STG_MESSAGE_OPEN = 0x2004719,  // the message is open somewhere
  QVMDL_ERR_STG_NO_FREE_ID = 0x200471A,  // no free id left
  QVMDL_ERR_STG_ENTRY_IN_USE = 0x200471B,  // the entry-table slot is taken
  QVMDL_ERR_STG_HEADER_FULL = 0x200471C,
  QVMDL_ERR_STG_HEADER_OUT_OF_STEP = 0x200471D,
  QVMDL_ERR_STG_SET_NOT_HELD = 0x200471E,       // closing a storage the storage set does not hold
  QVMDL_ERR_STG_SET_FOLDERS_OPEN = 0x200471F,   // closing a storage whose folders are open
  QVMDL_ERR_STG_SET_MESSAGES_OPEN = 0x2004720,  // closing a storage whose messages are open
  QVMDL_ERR_STG_EML_OLD_VERSION = 0x2004721,  // file older than the fields asked for
  QVMDL_ERR_STG_NO_ATTACHMENT = 0x2004722,    // nothing to strip, or the state forbids it
};
