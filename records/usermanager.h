#pragma once
// The panel's operator accounts, kept in "UserDataBase.db" in the program
// directory, and which account is logged in.
//
// No screen logs in to an account or edits the accounts, and nothing is
// allowed or refused because of them: after every start and after every
// automatic logout nobody is logged in.  The file's formats (plain-text
// passwords, the permission flags) are shared with other tools, so they are
// kept as they are; nothing here reads them back.
//
// A file that cannot be opened, or is damaged, is left exactly as it is (no
// default copy exists to restore it from): the reason is logged and the
// program runs on with the store closed.  GUI thread only.
#include <QString>
#include <cstdint>

enum UserType : std::int32_t {
    UserTypeNone = 0,            // nobody logged in; also the placeholder row 'LogOut'
    UserTypeAdministrator = 1,   // the built-in account 'admin'
    UserTypeTechnician = 2,
    UserTypeOperator = 3,
};

// The flags of permission_table's column optype, by position: seven "0" or
// "1" separated by single spaces.  Row 'operator' holds the technicians'
// flags, row 'LimitUser' the operators'; the administrator has no row.
enum Permission {
    PermStopDetection = 0,   // message 127
    PermSystemParam,         // message 215
    PermResample,            // message 129
    PermAreaSettings,        // message 130
    PermDontDetect,          // message 47
    PermAddAsTemplate,       // message 48
    PermAdvancedParam,       // message 205
    PermissionCount
};

class UserManager {
public:
    // The one store, made by whoever needs it first and kept to the end of
    // the process.
    static UserManager* instance;

    static const char* const kConnection;   // "sql_user_database_connection"
    static const char* const kFile;         // "UserDataBase.db"

    // Opens the store (connectDatabase); nobody logged in.
    UserManager();
    // Closes the connection (the program never deletes the store; tests do).
    virtual ~UserManager();
    UserManager(const UserManager&) = delete;
    UserManager& operator=(const UserManager&) = delete;

    // Opens the file (made when missing) and, when user_table or
    // permission_table is missing, creates the tables and default rows that
    // are not there yet, in one transaction.  Nobody logged in afterwards.
    void connectDatabase();
    // Nobody logged in; the file is not touched.
    void LogOut();

    UserType userType() const { return userType_; }
    // A single space while nobody is logged in.
    QString currentName() const { return currentName_; }
    // Whether the file opened and checked sound.
    bool isOpen() const;

protected:
    UserType userType_ = UserTypeNone;
    QString currentName_ = QStringLiteral(" ");
};
