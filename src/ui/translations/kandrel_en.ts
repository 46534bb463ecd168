<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru_RU">
<context>
    <name>CAddAtomDlg</name>
    <message>
        <source>Добавить атом</source>
        <translation>Add atom</translation>
    </message>
    <message>
        <source>Название</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Тип</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Отменить</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CAddBaseDlg</name>
    <message>
        <source>Название</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Отменить</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CBulkForm</name>
    <message>
        <source>(разные)</source>
        <translation>(mixed)</translation>
    </message>
    <message>
        <source>Свойства: %1</source>
        <translation>Properties: %1</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
</context>
<context>
    <name>CCompareOwner</name>
    <message>
        <source>Документ изменился после сравнения; сравнение обновлено, повторите перенос.</source>
        <translation>The document changed after the comparison; the comparison has been refreshed, take the differences over again.</translation>
    </message>
    <message>
        <source>Сравнить с файлом…</source>
        <translation>Compare with File…</translation>
    </message>
    <message>
        <source>Сравнить документ с другим файлом .kdl, не меняя документ</source>
        <translation>Compare the document with another .kdl file without changing the document</translation>
    </message>
    <message>
        <source>Сравнить с сервером</source>
        <translation>Compare with Server</translation>
    </message>
    <message>
        <source>Сравнить документ с базой, которую держит сервер</source>
        <translation>Compare the document with the base the server holds</translation>
    </message>
    <message>
        <source>Следующее различие</source>
        <translation>Next Difference</translation>
    </message>
    <message>
        <source>Следующее различие (F8)</source>
        <translation>Next difference (F8)</translation>
    </message>
    <message>
        <source>Предыдущее различие</source>
        <translation>Previous Difference</translation>
    </message>
    <message>
        <source>Предыдущее различие (Shift+F8)</source>
        <translation>Previous difference (Shift+F8)</translation>
    </message>
    <message>
        <source>Перенести выбранные</source>
        <translation>Take Over Selected</translation>
    </message>
    <message>
        <source>Перенести выбранные различия из другой базы в документ</source>
        <translation>Take the selected differences over from the other base into the document</translation>
    </message>
    <message>
        <source>Перенести все</source>
        <translation>Take Over All</translation>
    </message>
    <message>
        <source>Перенести все различия из другой базы в документ</source>
        <translation>Take every difference over from the other base into the document</translation>
    </message>
    <message>
        <source>Отправить значения</source>
        <translation>Send Values</translation>
    </message>
    <message>
        <source>Отправить серверу значения документа, которые отличаются от его</source>
        <translation>Send the server the document&apos;s values that differ from its own</translation>
    </message>
    <message>
        <source>Закрыть сравнение</source>
        <translation>Close Comparison</translation>
    </message>
    <message>
        <source>Сравнить с файлом</source>
        <translation>Compare with File</translation>
    </message>
    <message>
        <source>Сравнение</source>
        <translation>Compare</translation>
    </message>
    <message>
        <source>Различия</source>
        <translation>Differences</translation>
    </message>
    <message>
        <source>Показывать или скрывать различия этого вида</source>
        <translation>Show or hide differences of this kind</translation>
    </message>
    <message>
        <source>Значения тоже</source>
        <translation>Values too</translation>
    </message>
    <message>
        <source>Сравнивать и значения свойств, а не только структуру</source>
        <translation>Compare property values too, not only the structure</translation>
    </message>
    <message>
        <source>Путь</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>Идентификатор</source>
        <translation>Identifier</translation>
    </message>
    <message>
        <source>Не удалось сравнить с файлом %1: %2</source>
        <translation>Cannot compare with the file %1: %2</translation>
    </message>
    <message>
        <source>Файл: %1</source>
        <translation>File: %1</translation>
    </message>
    <message>
        <source>Нет подключения к серверу: сравнивать не с чем.</source>
        <translation>Not connected to a server: there is nothing to compare with.</translation>
    </message>
    <message>
        <source>Запрошена база сервера для сравнения…</source>
        <translation>Asked the server for its base to compare…</translation>
    </message>
    <message>
        <source>Сервер: %1:%2</source>
        <translation>Server: %1:%2</translation>
    </message>
    <message>
        <source>Документ</source>
        <translation>Document</translation>
    </message>
    <message>
        <source>Различий нет</source>
        <translation>No differences</translation>
    </message>
    <message>
        <source>Документ ↔ %1: различий нет</source>
        <translation>Document ↔ %1: no differences</translation>
    </message>
    <message>
        <source>Документ ↔ %1</source>
        <translation>Document ↔ %1</translation>
    </message>
    <message>
        <source>(нет записи)</source>
        <translation>(no record)</translation>
    </message>
    <message>
        <source>нет в другой базе</source>
        <translation>not in the other base</translation>
    </message>
    <message>
        <source>изменено</source>
        <translation>changed</translation>
    </message>
    <message>
        <source>перемещено</source>
        <translation>moved</translation>
    </message>
    <message>
        <source>ниже добавлены записи</source>
        <translation>records added below</translation>
    </message>
    <message>
        <source>Не выбрано ни одного различия</source>
        <translation>No difference is selected</translation>
    </message>
    <message>
        <source>Перенесено: удалено %1, добавлено %2, изменено %3, перемещено %4</source>
        <translation>Taken over: %1 removed, %2 added, %3 changed, %4 moved</translation>
    </message>
    <message>
        <source>; не перенесено: %1</source>
        <translation>; not taken over: %1</translation>
    </message>
    <message>
        <source>Отправлено значений: %1</source>
        <translation>Values sent: %1</translation>
    </message>
    <message>
        <source>Сравнение с файлом…</source>
        <translation>Comparing with the file…</translation>
    </message>
    <message>
        <source>Сравнение отменено</source>
        <translation>Comparison cancelled</translation>
    </message>
    <message>
        <source>Сравнение с сервером: получение базы…</source>
        <translation>Comparing with the server: receiving the base…</translation>
    </message>
    <message>
        <source>Не хватило памяти для сравнения с файлом %1. Документ не изменён.</source>
        <translation>Not enough memory to compare with the file %1. The document is unchanged.</translation>
    </message>
    <message>
        <source>Не хватило памяти для сравнения с базой сервера. Документ не изменён.</source>
        <translation>Not enough memory to compare with the server&apos;s base. The document is unchanged.</translation>
    </message>
    <message>
        <source>Не хватило памяти, чтобы обновить сравнение; оно закрыто. Документ не изменён.</source>
        <translation>Not enough memory to update the comparison; it has been closed. The document is unchanged.</translation>
    </message>
</context>
<context>
    <name>CDifferenceModel</name>
    <message>
        <source>удалено</source>
        <translation>removed</translation>
    </message>
    <message>
        <source>добавлено</source>
        <translation>added</translation>
    </message>
    <message>
        <source>изменено</source>
        <translation>changed</translation>
    </message>
    <message>
        <source>перемещено</source>
        <translation>moved</translation>
    </message>
    <message>
        <source>имя</source>
        <translation>name</translation>
    </message>
    <message>
        <source>тип</source>
        <translation>type</translation>
    </message>
    <message>
        <source>флаги</source>
        <translation>flags</translation>
    </message>
    <message>
        <source>значение</source>
        <translation>value</translation>
    </message>
    <message>
        <source>шаблон</source>
        <translation>pattern</translation>
    </message>
    <message>
        <source>ссылка</source>
        <translation>link</translation>
    </message>
    <message>
        <source>Запись</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>Различие</source>
        <translation>Difference</translation>
    </message>
    <message>
        <source>Подробности</source>
        <translation>Details</translation>
    </message>
</context>
<context>
    <name>CFindBar</name>
    <message>
        <source>Имя</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Путь</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>Идентификатор</source>
        <translation>Identifier</translation>
    </message>
    <message>
        <source>Найти</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>Предыдущее (Shift+Enter)</source>
        <translation>Previous (Shift+Enter)</translation>
    </message>
    <message>
        <source>Следующее (Enter)</source>
        <translation>Next (Enter)</translation>
    </message>
    <message>
        <source>Закрыть (Esc)</source>
        <translation>Close (Esc)</translation>
    </message>
    <message>
        <source>Найти в ветви</source>
        <translation>Find in branch</translation>
    </message>
    <message>
        <source>0 из 0</source>
        <translation>0 of 0</translation>
    </message>
    <message>
        <source>%1 из %2</source>
        <translation>%1 of %2</translation>
    </message>
</context>
<context>
    <name>CHTMLAbout</name>
    <message>
        <source>&lt;a&gt; Kandrel версия %1&lt;/a&gt;</source>
        <translation>&lt;a&gt; Kandrel version %1&lt;/a&gt;</translation>
    </message>
    <message>
        <source>&lt;a&gt;Наш адрес в интернете &lt;a href=&quot;&quot;&gt;%1&lt;/a&gt;&lt;/a&gt;</source>
        <translation>&lt;a&gt;Our web site &lt;a href=&quot;&quot;&gt;%1&lt;/a&gt;&lt;/a&gt;</translation>
    </message>
    <message>
        <source>&lt;a&gt;тех. поддержка : %1 &lt;/a&gt;</source>
        <translation>&lt;a&gt;support : %1 &lt;/a&gt;</translation>
    </message>
    <message>
        <source>О программе ...</source>
        <translation>About ...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>CImportDlg</name>
    <message>
        <source>Импорт даных</source>
        <translation>Data import</translation>
    </message>
    <message>
        <source>Снять выделение</source>
        <translation>Clear selection</translation>
    </message>
    <message>
        <source>Отменить</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Применить</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Импорт структуры</source>
        <translation>Import structure</translation>
    </message>
    <message>
        <source>xml data files (*.xml)</source>
        <translation>xml data files (*.xml)</translation>
    </message>
    <message>
        <source>c2ko data files (*.c2ko)</source>
        <translation>c2ko data files (*.c2ko)</translation>
    </message>
    <message>
        <source>All Files (*.*)</source>
        <translation>All Files (*.*)</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>File not found :%1</source>
        <translation>File not found :%1</translation>
    </message>
    <message>
        <source>Error while data import</source>
        <translation>Error while data import</translation>
    </message>
    <message>
        <source>Чтение файла импорта…</source>
        <translation>Reading the import file…</translation>
    </message>
</context>
<context>
    <name>CJournalDock</name>
    <message>
        <source>Журнал записи</source>
        <translation>Write journal</translation>
    </message>
    <message>
        <source>Путь</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>Все действия</source>
        <translation>All actions</translation>
    </message>
    <message>
        <source>С</source>
        <translation>Since</translation>
    </message>
    <message>
        <source>Сохранить CSV…</source>
        <translation>Save CSV…</translation>
    </message>
    <message>
        <source>Обновить</source>
        <translation>Reload</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Пользователь</source>
        <translation>User</translation>
    </message>
    <message>
        <source>Тип</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Было</source>
        <translation>Old</translation>
    </message>
    <message>
        <source>Стало</source>
        <translation>New</translation>
    </message>
    <message>
        <source>Действие</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>Результат</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Журнал записи: %1</source>
        <translation>Write journal: %1</translation>
    </message>
    <message>
        <source>%1: не удалось записать файл: %2</source>
        <translation>%1: cannot write the file: %2</translation>
    </message>
    <message>
        <source>Сохранить CSV</source>
        <translation>Save CSV</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
</context>
<context>
    <name>CLeftView</name>
    <message>
        <source>Добавить базу</source>
        <translation>Add group</translation>
    </message>
    <message>
        <source>Добавить объект</source>
        <translation>Add object</translation>
    </message>
</context>
<context>
    <name>CLinksDialog</name>
    <message>
        <source>Links</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Новый линк</source>
        <translation>New link</translation>
    </message>
    <message>
        <source>Текущий линк</source>
        <translation>Current link</translation>
    </message>
    <message>
        <source>Шаблон линков &quot;%1&quot; должен лежать в папке программы</source>
        <translation>The link template &quot;%1&quot; must lie in the program&apos;s folder</translation>
    </message>
</context>
<context>
    <name>CLinksTree</name>
    <message>
        <source>Ссилка</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>Новый</source>
        <translation>New</translation>
    </message>
    <message>
        <source>Создать новый документ</source>
        <translation>Create a new document</translation>
    </message>
    <message>
        <source>Открыть...</source>
        <translation>Open...</translation>
    </message>
    <message>
        <source>Открыть существующий документ</source>
        <translation>Open an existing document</translation>
    </message>
    <message>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Сохранить документ</source>
        <translation>Save the document</translation>
    </message>
    <message>
        <source>Сохранить как ...</source>
        <translation>Save as ...</translation>
    </message>
    <message>
        <source>Сохранить документ под новым именем</source>
        <translation>Save the document under a new name</translation>
    </message>
    <message>
        <source>Печать</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Завершить работу программы</source>
        <translation>Quit the program</translation>
    </message>
    <message>
        <source>Вырезать</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>Вырезать выделенное</source>
        <translation>Cut the selection</translation>
    </message>
    <message>
        <source>Копировать</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Копировать выделенное</source>
        <translation>Copy the selection</translation>
    </message>
    <message>
        <source>Вставить</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>Вставить скопированное</source>
        <translation>Paste what was copied</translation>
    </message>
    <message>
        <source>Отменить ввод</source>
        <translation>Undo typing</translation>
    </message>
    <message>
        <source>Отменить</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Отменить последнее изменение документа</source>
        <translation>Undo the last change of the document</translation>
    </message>
    <message>
        <source>Повторить</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>Повторить отменённое изменение</source>
        <translation>Redo the undone change</translation>
    </message>
    <message>
        <source>Найти...</source>
        <translation>Find...</translation>
    </message>
    <message>
        <source>Найти запись по имени, пути или идентификатору</source>
        <translation>Find a record by name, path or identifier</translation>
    </message>
    <message>
        <source>Ссылки на запись</source>
        <translation>References to the record</translation>
    </message>
    <message>
        <source>Свойства LINK_TO, которые ссылаются на выбранную запись или её ветвь</source>
        <translation>LINK_TO properties that refer to the selected record or its branch</translation>
    </message>
    <message>
        <source>Импорт структуры</source>
        <translation>Import structure</translation>
    </message>
    <message>
        <source>Экспорт структуры</source>
        <translation>Export structure</translation>
    </message>
    <message>
        <source>Панель инструментов</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>Показать или скрыть панель инструментов</source>
        <translation>Show or hide the toolbar</translation>
    </message>
    <message>
        <source>Статусная строка</source>
        <translation>Status bar</translation>
    </message>
    <message>
        <source>Показать или скрыть статусную строку</source>
        <translation>Show or hide the status bar</translation>
    </message>
    <message>
        <source>Подключиться</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>Отключиться</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>Получить базу</source>
        <translation>Get base</translation>
    </message>
    <message>
        <source>О Kandrel</source>
        <translation>About Kandrel</translation>
    </message>
    <message>
        <source>Сведения о программе</source>
        <translation>About the program</translation>
    </message>
    <message>
        <source>Отменить	Ctrl+Z</source>
        <translation>Undo	Ctrl+Z</translation>
    </message>
    <message>
        <source>Отменить (Ctrl+Z)</source>
        <translation>Undo (Ctrl+Z)</translation>
    </message>
    <message>
        <source>Повторить (Ctrl+Y)</source>
        <translation>Redo (Ctrl+Y)</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Последние файлы</source>
        <translation>Recent files</translation>
    </message>
    <message>
        <source>Правка</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>Вид</source>
        <translation>View</translation>
    </message>
    <message>
        <source>Сеть</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Стандартная</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>Kandrel Files (*.kdl) </source>
        <translation>Kandrel Files (*.kdl) </translation>
    </message>
    <message>
        <source>Открыть</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Сохранить как</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>XML Files (*.xml)</source>
        <translation>XML Files (*.xml)</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Inforamtion</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Export completed</source>
        <translation>Export completed</translation>
    </message>
    <message>
        <source>Импортировано записей: %1</source>
        <translation>Records imported: %1</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Удалить выделенные записи с их ветвями</source>
        <translation>Delete the selected records with their branches</translation>
    </message>
    <message>
        <source>Переименовать</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>Переименовать запись прямо в дереве</source>
        <translation>Rename the record in the tree</translation>
    </message>
    <message>
        <source>Добавить запись</source>
        <translation>Add record</translation>
    </message>
    <message>
        <source>Добавить запись того вида, который содержит выделенная</source>
        <translation>Add a record of the kind the selected one holds</translation>
    </message>
    <message>
        <source>Переместить вверх</source>
        <translation>Move up</translation>
    </message>
    <message>
        <source>Поставить запись перед предыдущей соседней</source>
        <translation>Put the record before its previous sibling</translation>
    </message>
    <message>
        <source>Переместить вниз</source>
        <translation>Move down</translation>
    </message>
    <message>
        <source>Поставить запись после следующей соседней</source>
        <translation>Put the record after its next sibling</translation>
    </message>
    <message>
        <source>Найти отсюда...</source>
        <translation>Find from here...</translation>
    </message>
    <message>
        <source>Найти запись в ветви выбранной записи</source>
        <translation>Find a record in the branch of the selected record</translation>
    </message>
    <message>
        <source>Копировать путь</source>
        <translation>Copy path</translation>
    </message>
    <message>
        <source>Копировать путь записи в буфер обмена</source>
        <translation>Copy the record&apos;s path to the clipboard</translation>
    </message>
    <message>
        <source>Развернуть ветвь</source>
        <translation>Expand branch</translation>
    </message>
    <message>
        <source>Свернуть ветвь</source>
        <translation>Collapse branch</translation>
    </message>
    <message>
        <source>Открытие файла…</source>
        <translation>Opening the file…</translation>
    </message>
    <message>
        <source>Открытие отменено</source>
        <translation>Opening cancelled</translation>
    </message>
    <message>
        <source>Сохранение файла…</source>
        <translation>Saving the file…</translation>
    </message>
    <message>
        <source>Экспорт структуры…</source>
        <translation>Exporting the structure…</translation>
    </message>
    <message>
        <source>Экспорт отменён, файл не записан</source>
        <translation>Export cancelled, no file written</translation>
    </message>
    <message>
        <source>Импорт записей…</source>
        <translation>Importing records…</translation>
    </message>
    <message>
        <source>Импорт отменён, документ не изменён</source>
        <translation>Import cancelled, the document is unchanged</translation>
    </message>
    <message>
        <source>Не хватило памяти, чтобы открыть %1. Открытый документ не изменён.</source>
        <translation>Not enough memory to open %1. The open document is unchanged.</translation>
    </message>
    <message>
        <source>Структура</source>
        <translation>Structure</translation>
    </message>
    <message>
        <source>Таблица свойств</source>
        <translation>Property table</translation>
    </message>
</context>
<context>
    <name>CMergeOwner</name>
    <message>
        <source>Слияние…</source>
        <translation>Merge…</translation>
    </message>
    <message>
        <source>Слить в документ изменения другой копии той же базы (выбрать базу и их копию)</source>
        <translation>Merge the changes of another copy of the same base into the document (choose the base and their copy)</translation>
    </message>
    <message>
        <source>Взять наше</source>
        <translation>Take Ours</translation>
    </message>
    <message>
        <source>Оставить в выбранных конфликтах то, что было в документе</source>
        <translation>Keep what the document had in the selected conflicts</translation>
    </message>
    <message>
        <source>Взять их</source>
        <translation>Take Theirs</translation>
    </message>
    <message>
        <source>Взять в выбранных конфликтах то, что было в их копии</source>
        <translation>Take what their copy had in the selected conflicts</translation>
    </message>
    <message>
        <source>Закрыть слияние</source>
        <translation>Close Merge</translation>
    </message>
    <message>
        <source>Закрыть список конфликтов</source>
        <translation>Close the list of conflicts</translation>
    </message>
    <message>
        <source>Слияние: общая база</source>
        <translation>Merge: Common Base</translation>
    </message>
    <message>
        <source>Слияние: их копия</source>
        <translation>Merge: Their Copy</translation>
    </message>
    <message>
        <source>Различия</source>
        <translation>Differences</translation>
    </message>
    <message>
        <source>Запись</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>Поле</source>
        <translation>Field</translation>
    </message>
    <message>
        <source>База</source>
        <translation>Base</translation>
    </message>
    <message>
        <source>Наше</source>
        <translation>Ours</translation>
    </message>
    <message>
        <source>Их</source>
        <translation>Theirs</translation>
    </message>
    <message>
        <source>Взято</source>
        <translation>Taken</translation>
    </message>
    <message>
        <source>Слияние выполнено без конфликтов</source>
        <translation>Merged without conflicts</translation>
    </message>
    <message>
        <source>Слияние: конфликтов %1; в них оставлено наше</source>
        <translation>Merge: %1 conflicts; ours kept in them</translation>
    </message>
    <message>
        <source>Слияние без конфликтов</source>
        <translation>Merge without conflicts</translation>
    </message>
    <message>
        <source>Конфликты слияния: %1</source>
        <translation>Merge conflicts: %1</translation>
    </message>
    <message>
        <source>наше</source>
        <translation>ours</translation>
    </message>
    <message>
        <source>их</source>
        <translation>theirs</translation>
    </message>
</context>
<context>
    <name>CNetConnectToDlg</name>
    <message>
        <source>Connect to....</source>
        <translation>Connect to...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Не удалось подключиться: %1</source>
        <translation>Could not connect: %1</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Только наблюдение</source>
        <translation>Monitor only</translation>
    </message>
    <message>
        <source>Значения с сервера приходят, но ничего не отправляется на сервер</source>
        <translation>Values come from the server, but nothing is sent to it</translation>
    </message>
    <message>
        <source>Запись</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Изменённые значения отправляются на сервер</source>
        <translation>Changed values are sent to the server</translation>
    </message>
</context>
<context>
    <name>CProgressDialog</name>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Получено: %1 КиБ</source>
        <translation>Received: %1 KiB</translation>
    </message>
    <message>
        <source>Остановка…</source>
        <translation>Stopping…</translation>
    </message>
</context>
<context>
    <name>CPropertyItemDlg</name>
    <message>
        <source>Добавить свойство</source>
        <translation>Add property</translation>
    </message>
    <message>
        <source>Тип данных</source>
        <translation>Data type</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Применить</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Отменить</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Название</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Static</source>
        <translation>Static</translation>
    </message>
</context>
<context>
    <name>CPropertyTableModel</name>
    <message>
        <source>Путь</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>Название</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Идентификатор</source>
        <translation>Identifier</translation>
    </message>
    <message>
        <source>Тип</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Флаги</source>
        <translation>Flags</translation>
    </message>
    <message>
        <source>Ссылка</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>Номера установленных флагов 1-6 через пробел, например «2 6»</source>
        <translation>Numbers 1-6 of the set flags separated by spaces, for example “2 6”</translation>
    </message>
    <message>
        <source>Путь записи, на которую ссылается свойство типа LINK_TO</source>
        <translation>Path of the record a LINK_TO property points at</translation>
    </message>
</context>
<context>
    <name>CPropertyTablePane</name>
    <message>
        <source>Фильтр: текст или столбец:текст (path, name, id, type, value, flags, eoc, link)</source>
        <translation>Filter: text or column:text (path, name, id, type, value, flags, eoc, link)</translation>
    </message>
    <message>
        <source>Экспорт…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>Сохранить показанные строки в файл CSV или XLSX</source>
        <translation>Save the rows shown to a CSV or XLSX file</translation>
    </message>
    <message>
        <source>Импорт…</source>
        <translation>Import…</translation>
    </message>
    <message>
        <source>Прочитать файл CSV и показать, что он изменит, в панели «Различия»</source>
        <translation>Read a CSV file and show what it would change in the “Differences” pane</translation>
    </message>
    <message>
        <source>Удалить отсутствующие</source>
        <translation>Delete missing</translation>
    </message>
    <message>
        <source>При импорте удалить свойства таблицы, которых нет в файле</source>
        <translation>On import, delete the table&apos;s properties the file does not have</translation>
    </message>
    <message>
        <source>По идентификатору</source>
        <translation>By identifier</translation>
    </message>
    <message>
        <source>При импорте искать свойства по столбцу id, а не по пути</source>
        <translation>On import, find properties by the id column instead of the path</translation>
    </message>
    <message>
        <source>Значение не принято</source>
        <translation>Value not taken</translation>
    </message>
    <message>
        <source>строка короче заголовка</source>
        <translation>the row is shorter than the header</translation>
    </message>
    <message>
        <source>нет пути</source>
        <translation>no path</translation>
    </message>
    <message>
        <source>неизвестный атом</source>
        <translation>unknown atom</translation>
    </message>
    <message>
        <source>путь называет две записи</source>
        <translation>the path names two records</translation>
    </message>
    <message>
        <source>запись — не свойство</source>
        <translation>the record is not a property</translation>
    </message>
    <message>
        <source>неизвестный идентификатор</source>
        <translation>unknown identifier</translation>
    </message>
    <message>
        <source>неизвестный тип</source>
        <translation>unknown type</translation>
    </message>
    <message>
        <source>флаги — это номера 1-6 через пробел</source>
        <translation>flags are numbers 1-6 separated by spaces</translation>
    </message>
    <message>
        <source>EOC — это 0 или 1</source>
        <translation>EOC is 0 or 1</translation>
    </message>
    <message>
        <source>текст, которого нет в кодировке windows-1251</source>
        <translation>text that windows-1251 cannot hold</translation>
    </message>
    <message>
        <source>путь ссылки не называет свойство</source>
        <translation>the link path names no property</translation>
    </message>
    <message>
        <source>у свойства уже есть строка выше</source>
        <translation>the property has a row above already</translation>
    </message>
    <message>
        <source>у свойства должно быть название</source>
        <translation>a property needs a name</translation>
    </message>
    <message>
        <source>этот столбец не редактируется</source>
        <translation>this column is not edited</translation>
    </message>
    <message>
        <source>%1: строка %2, столбец «%3», «%4»: %5</source>
        <translation>%1: row %2, column “%3”, “%4”: %5</translation>
    </message>
    <message>
        <source>Вставка не выполнена: %1</source>
        <translation>Nothing pasted: %1</translation>
    </message>
    <message>
        <source>Вставка не выполнена: строка %1, столбец «%2»: %3</source>
        <translation>Nothing pasted: row %1, column “%2”: %3</translation>
    </message>
    <message>
        <source>Вставка не выполнена</source>
        <translation>Nothing pasted</translation>
    </message>
    <message>
        <source>Не удалось сохранить таблицу %1: %2</source>
        <translation>Could not save the table %1: %2</translation>
    </message>
    <message>
        <source>Строк сохранено: %1</source>
        <translation>Rows saved: %1</translation>
    </message>
    <message>
        <source>CSV, разделитель «;» (*.csv)</source>
        <translation>CSV, separator “;” (*.csv)</translation>
    </message>
    <message>
        <source>CSV, разделитель «,» (*.csv)</source>
        <translation>CSV, separator “,” (*.csv)</translation>
    </message>
    <message>
        <source>Книга Excel (*.xlsx)</source>
        <translation>Excel workbook (*.xlsx)</translation>
    </message>
    <message>
        <source>Экспорт таблицы свойств</source>
        <translation>Export the property table</translation>
    </message>
    <message>
        <source>Не удалось прочитать таблицу %1: %2</source>
        <translation>Could not read the table %1: %2</translation>
    </message>
    <message>
        <source>строка %1: %2</source>
        <translation>line %1: %2</translation>
    </message>
    <message>
        <source>и ещё %1</source>
        <translation>and %1 more</translation>
    </message>
    <message>
        <source>Эти строки таблицы %1 не могут быть использованы и не показаны среди различий:
%2</source>
        <translation>These rows of the table %1 cannot be used and are not among the differences:
%2</translation>
    </message>
    <message>
        <source>Таблица: %1</source>
        <translation>Table: %1</translation>
    </message>
    <message>
        <source>Импорт таблицы свойств</source>
        <translation>Import a property table</translation>
    </message>
    <message>
        <source>Таблицы CSV (*.csv *.txt)</source>
        <translation>CSV tables (*.csv *.txt)</translation>
    </message>
    <message>
        <source>Все файлы (*)</source>
        <translation>All files (*)</translation>
    </message>
</context>
<context>
    <name>CRecordModel</name>
    <message>
        <source>Название</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Структура</source>
        <translation>Structure</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
</context>
<context>
    <name>CRecoveryKeeper</name>
    <message>
        <source>без имени</source>
        <translation>untitled</translation>
    </message>
    <message>
        <source>Kandrel был завершён, не сохранив документ «%1». Найдена его копия восстановления, записанная %2.

Восстановить документ из неё?</source>
        <translation>Kandrel ended without saving the document “%1”. A recovery copy of it written %2 was found.

Restore the document from it?</translation>
    </message>
    <message>
        <source>Восстановить</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>Удалить копию</source>
        <translation>Discard copy</translation>
    </message>
    <message>
        <source>Позже</source>
        <translation>Later</translation>
    </message>
    <message>
        <source>Защита от сбоев отключена: копию восстановления не удалось записать (%1)</source>
        <translation>Crash protection is off: the recovery copy could not be written (%1)</translation>
    </message>
    <message>
        <source>Копию восстановления не удалось удалить: %1</source>
        <translation>The recovery copy could not be deleted: %1</translation>
    </message>
    <message>
        <source>Копия восстановления %1 пуста; документ не восстановлен.</source>
        <translation>The recovery copy %1 is empty; the document was not restored.</translation>
    </message>
    <message>
        <source>Копия восстановлена как документ без имени: она записана не для файла %1</source>
        <translation>The copy was restored as an unnamed document: it was not written for the file %1</translation>
    </message>
    <message>
        <source>В папке копий восстановления есть описания, которые не удалось прочитать (%1). Удалить их вместе с их копиями?</source>
        <translation>The recovery folder holds descriptions that cannot be read (%1). Delete them together with their copies?</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Оставить</source>
        <translation>Keep</translation>
    </message>
    <message>
        <source>Не удалось удалить:
%1</source>
        <translation>Could not delete:
%1</translation>
    </message>
</context>
<context>
    <name>CReferencesDlg</name>
    <message>
        <source>Ссылки на запись</source>
        <translation>References to the record</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>На %1 не ссылается ни одно свойство.</source>
        <translation>No property refers to %1.</translation>
    </message>
    <message>
        <source>Ссылки на %1: %2</source>
        <translation>References to %1: %2</translation>
    </message>
</context>
<context>
    <name>CTarnelApp</name>
    <message>
        <source>Не хватило памяти: действие прервано. Документ остался открытым.</source>
        <translation>Out of memory: the action was stopped. The document is still open.</translation>
    </message>
</context>
<context>
    <name>CTarnelView</name>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>LinkError</source>
        <translation>LinkError</translation>
    </message>
    <message>
        <source>База</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>Объект</source>
        <translation>Object</translation>
    </message>
    <message>
        <source>Атом</source>
        <translation>Atom</translation>
    </message>
    <message>
        <source>Свойство</source>
        <translation>Property</translation>
    </message>
    <message>
        <source>Название</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
</context>
<context>
    <name>CTreeEditing</name>
    <message>
        <source>Добавить базу</source>
        <translation>Add group</translation>
    </message>
    <message>
        <source>Добавить объект</source>
        <translation>Add object</translation>
    </message>
    <message>
        <source>Добавить атом</source>
        <translation>Add atom</translation>
    </message>
    <message>
        <source>Добавить свойство</source>
        <translation>Add property</translation>
    </message>
</context>
<context>
    <name>CTrendDock</name>
    <message>
        <source>%1 мин</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>Сколько последних минут показывает тренд</source>
        <translation>How many recent minutes the trend shows</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Остановить картину; значения записываются дальше</source>
        <translation>Hold the picture; values go on being recorded</translation>
    </message>
    <message>
        <source>Сбросить масштаб</source>
        <translation>Reset zoom</translation>
    </message>
    <message>
        <source>Сохранить CSV…</source>
        <translation>Save CSV…</translation>
    </message>
    <message>
        <source>Продолжить</source>
        <translation>Resume</translation>
    </message>
</context>
<context>
    <name>CWatchDock</name>
    <message>
        <source>Наблюдение</source>
        <translation>Watch</translation>
    </message>
    <message>
        <source>Наблюдать</source>
        <translation>Watch</translation>
    </message>
    <message>
        <source>Добавить выбранные свойства в список наблюдения</source>
        <translation>Add the selected properties to the watch list</translation>
    </message>
    <message>
        <source>Убрать</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>Из списка наблюдения убрано свойств, которых больше нет: %1</source>
        <translation>Properties that no longer exist removed from the watch list: %1</translation>
    </message>
    <message>
        <source>Тренд</source>
        <translation>Trend</translation>
    </message>
    <message>
        <source>Показать выбранные числовые значения линиями во времени</source>
        <translation>Show the selected numeric values as lines over time</translation>
    </message>
    <message>
        <source>Сохранить CSV…</source>
        <translation>Save CSV…</translation>
    </message>
    <message>
        <source>Записать в файл все записанные значения списка</source>
        <translation>Write every value the list recorded to a file</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Тренд %1</source>
        <translation>Trend %1</translation>
    </message>
</context>
<context>
    <name>CWatchModel</name>
    <message>
        <source>Путь</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>Тип</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Изменено</source>
        <translation>Changed</translation>
    </message>
    <message>
        <source>Изменений</source>
        <translation>Changes</translation>
    </message>
</context>
<context>
    <name>CWritePreviewDlg</name>
    <message>
        <source>Запись на сервер %1</source>
        <translation>Write to server %1</translation>
    </message>
    <message>
        <source>Будет записано значений: %1</source>
        <translation>Values to be written: %1</translation>
    </message>
    <message>
        <source>Путь</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>Тип</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Значение на сервере</source>
        <translation>Value on the server</translation>
    </message>
    <message>
        <source>Новое значение</source>
        <translation>New value</translation>
    </message>
    <message>
        <source>Записать</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>Cp1251Input</name>
    <message>
        <source>Поле «%1» содержит символ «%2», которого нет в кодировке windows-1251. Текст не сохранён; замените этот символ.</source>
        <translation>The field &quot;%1&quot; holds the character &quot;%2&quot;, which windows-1251 cannot hold. The text was not saved; replace that character.</translation>
    </message>
</context>
<context>
    <name>DialogButtons</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>EditorCommandLine</name>
    <message>
        <source>Kandrel: редактор базы конфигурации</source>
        <translation>Kandrel: configuration base editor</translation>
    </message>
    <message>
        <source>Документ .kdl</source>
        <translation>A .kdl document</translation>
    </message>
    <message>
        <source>Можно открыть только один документ.</source>
        <translation>Only one document can be opened.</translation>
    </message>
    <message>
        <source>Подробнее: %1 --help</source>
        <translation>More: %1 --help</translation>
    </message>
    <message>
        <source>Слить OURS и THEIRS над общей базой BASE и открыть результат с конфликтами; сохранение пишет OUT (как merge tool для git)</source>
        <translation>Merge OURS and THEIRS over their common BASE and open the result with its conflicts; saving writes OUT (a merge tool for git)</translation>
    </message>
    <message>
        <source>Файл результата слияния</source>
        <translation>The file the merge is saved to</translation>
    </message>
    <message>
        <source>Подключиться к серверу после открытия документа</source>
        <translation>Connect to the server once the document is open</translation>
    </message>
    <message>
        <source>Подключиться в режиме «Только наблюдение»: ничего не отправлять на сервер</source>
        <translation>Connect in monitor-only mode: send nothing to the server</translation>
    </message>
    <message>
        <source>--connect ждёт адрес и порт сервера: HOST:PORT</source>
        <translation>--connect takes the server&apos;s address and port: HOST:PORT</translation>
    </message>
    <message>
        <source>Слияние задаётся так: --merge BASE OURS THEIRS -o OUT.</source>
        <translation>A merge is given as: --merge BASE OURS THEIRS -o OUT.</translation>
    </message>
</context>
<context>
    <name>FormLayouts</name>
    <message>
        <source>Название</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Тип</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Применить</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Данные</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>Тип данных</source>
        <translation>Data type</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Путь</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>Цель ссылки (двойной щелчок: перейти)</source>
        <translation>Link target (double-click: go there)</translation>
    </message>
    <message>
        <source>Входящие ссылки (двойной щелчок: перейти)</source>
        <translation>Incoming links (double-click: go there)</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>Type:</translation>
    </message>
    <message>
        <source>ID:</source>
        <translation>ID:</translation>
    </message>
    <message>
        <source>EOC</source>
        <translation>EOC</translation>
    </message>
</context>
<context>
    <name>FrameLayout</name>
    <message>
        <source>Сбросить расположение</source>
        <translation>Reset Layout</translation>
    </message>
    <message>
        <source>Вернуть панели, разделитель и ширину столбцов к исходным</source>
        <translation>Put the panels, the splitter and the column widths back as they were at first</translation>
    </message>
</context>
<context>
    <name>FrameNetwork</name>
    <message>
        <source>Подключено: %1:%2</source>
        <translation>Connected: %1:%2</translation>
    </message>
    <message>
        <source>Нет подключения</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>Получить базу: сервер %1 не прислал базу целиком за %2 с. Соединение закрыто, документ не изменён.</source>
        <translation>Get base: server %1 did not send a complete base within %2 s. The connection is closed; the document is unchanged.</translation>
    </message>
    <message>
        <source>Переподключено; значений изменилось за время отключения: %1</source>
        <translation>Reconnected; values changed while away: %1</translation>
    </message>
    <message>
        <source>Переподключение через %1 с</source>
        <translation>Reconnecting in %1 s</translation>
    </message>
    <message>
        <source>Получение базы с сервера…</source>
        <translation>Receiving the base from the server…</translation>
    </message>
    <message>
        <source>Получение базы отменено, документ не изменён</source>
        <translation>Receiving the base cancelled, the document is unchanged</translation>
    </message>
    <message>
        <source>; записи без подтверждения: %1 (%2)</source>
        <translation>; writes without confirmation: %1 (%2)</translation>
    </message>
    <message>
        <source>Только наблюдение: не отправлено значений: %1</source>
        <translation>Monitor only: values not sent: %1</translation>
    </message>
    <message>
        <source>Запись отменена: не отправлено значений: %1</source>
        <translation>Write cancelled: values not sent: %1</translation>
    </message>
    <message>
        <source>Журнал записи не записан: %1</source>
        <translation>The write journal could not be written: %1</translation>
    </message>
    <message>
        <source>Только наблюдение</source>
        <translation>Monitor only</translation>
    </message>
    <message>
        <source>Ничего не отправлять на сервер; изменения остаются в документе</source>
        <translation>Send nothing to the server; changes stay in the document</translation>
    </message>
    <message>
        <source>Подтверждать каждую запись</source>
        <translation>Confirm every write</translation>
    </message>
    <message>
        <source>Значения, изменённые в режиме наблюдения и не отправленные на сервер: %1. Записать их сейчас?</source>
        <translation>Values changed while monitoring and not sent to the server: %1. Write them now?</translation>
    </message>
    <message>
        <source>Оставить в документе</source>
        <translation>Keep in the document</translation>
    </message>
    <message>
        <source>Не удалось подключиться: %1</source>
        <translation>Could not connect: %1</translation>
    </message>
    <message>
        <source>Запись</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Сервер %1 прислал базу, которую не запрашивали. Документ пока не изменён.</source>
        <translation>The server %1 sent a base that was not requested. The document has not been changed.</translation>
    </message>
    <message>
        <source>Заменить документ этой базой, сравнить с ней или оставить всё как есть?</source>
        <translation>Replace the document with this base, compare with it, or leave everything as it is?</translation>
    </message>
    <message>
        <source>Заменить документ</source>
        <translation>Replace document</translation>
    </message>
    <message>
        <source>Сравнить</source>
        <translation>Compare</translation>
    </message>
    <message>
        <source>Не заменять</source>
        <translation>Do not replace</translation>
    </message>
    <message>
        <source>База, которую не запрашивали, не принята</source>
        <translation>The base that was not requested was not taken</translation>
    </message>
</context>
<context>
    <name>ImportCommands</name>
    <message>
        <source>В файле были имена и значения с символами, которых нет в кодировке windows-1251: %1 из них импортированы с «?» на месте этих символов.</source>
        <translation>The file had names and values with characters that windows-1251 cannot hold: %1 of them were imported with &quot;?&quot; in place of those characters.</translation>
    </message>
</context>
<context>
    <name>ModalRunner</name>
    <message>
        <source>Сохранить изменения?</source>
        <translation>Save the changes?</translation>
    </message>
    <message>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Не сохранять</source>
        <translation>Don&apos;t save</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Файл доступен только для чтения. Сохранить документ под другим именем?</source>
        <translation>The file is read-only. Save the document under another name?</translation>
    </message>
    <message>
        <source>Сохранить как</source>
        <translation>Save as</translation>
    </message>
</context>
<context>
    <name>RecordCommands</name>
    <message>
        <source>Документ заполнен: все 65535 идентификаторов заняты. Удалите ненужные записи, чтобы добавить новые.</source>
        <translation>The document is full: all 65535 identifiers are taken. Delete records you do not need to add new ones.</translation>
    </message>
    <message>
        <source>Записи больше нет в документе.</source>
        <translation>The record is no longer in the document.</translation>
    </message>
    <message>
        <source>Сюда такую запись поместить нельзя: объекты лежат в базах и объектах, атомы в объектах, свойства в атомах.</source>
        <translation>A record of this kind cannot go here: objects go into groups and objects, atoms into objects, properties into atoms.</translation>
    </message>
    <message>
        <source>Запись нельзя перенести в её собственную ветвь.</source>
        <translation>A record cannot be moved into its own branch.</translation>
    </message>
    <message>
        <source>Ветвь легла бы глубже, чем может хранить файл документа.</source>
        <translation>The branch would lie deeper than a document file can hold.</translation>
    </message>
</context>
<context>
    <name>RecoverySidecar</name>
    <message>
        <source>слишком большой файл</source>
        <translation>the file is too large</translation>
    </message>
    <message>
        <source>не JSON (%1)</source>
        <translation>not JSON (%1)</translation>
    </message>
    <message>
        <source>не объект JSON</source>
        <translation>not a JSON object</translation>
    </message>
    <message>
        <source>нет пути документа</source>
        <translation>no document path</translation>
    </message>
    <message>
        <source>путь документа не абсолютный</source>
        <translation>the document path is not absolute</translation>
    </message>
    <message>
        <source>нет времени записи</source>
        <translation>no time of writing</translation>
    </message>
    <message>
        <source>неверное имя сеанса</source>
        <translation>invalid session name</translation>
    </message>
</context>
<context>
    <name>RecoveryStore</name>
    <message>
        <source>папку нельзя создать</source>
        <translation>the folder cannot be created</translation>
    </message>
    <message>
        <source>слишком большой файл</source>
        <translation>the file is too large</translation>
    </message>
    <message>
        <source>копии рядом нет</source>
        <translation>no copy beside it</translation>
    </message>
</context>
<context>
    <name>SamplesCsv</name>
    <message>
        <source>Не удалось записать %1: %2</source>
        <translation>Could not write %1: %2</translation>
    </message>
    <message>
        <source>Сохранить CSV</source>
        <translation>Save CSV</translation>
    </message>
    <message>
        <source>CSV, строка на отсчёт (*.csv)</source>
        <translation>CSV, one row per sample (*.csv)</translation>
    </message>
    <message>
        <source>CSV, столбец на свойство (*.csv)</source>
        <translation>CSV, one column per property (*.csv)</translation>
    </message>
</context>
<context>
    <name>WriteState</name>
    <message>
        <source>не отправлено</source>
        <translation>not sent</translation>
    </message>
    <message>
        <source>отправлено</source>
        <translation>sent</translation>
    </message>
    <message>
        <source>подтверждено</source>
        <translation>confirmed</translation>
    </message>
    <message>
        <source>не подтверждено</source>
        <translation>unconfirmed</translation>
    </message>
    <message>
        <source>Не отправлено: значение изменено только в документе (только наблюдение или запись отменена)</source>
        <translation>Not sent: the value was changed in the document only (monitor only, or the write was cancelled)</translation>
    </message>
    <message>
        <source>Отправлено: сервер ещё не сообщил это значение в ответ</source>
        <translation>Sent: the server has not reported this value back yet</translation>
    </message>
    <message>
        <source>Подтверждено: сервер сообщил это значение</source>
        <translation>Confirmed: the server reported this value</translation>
    </message>
    <message>
        <source>Не подтверждено: соединение закрылось раньше или сервер сообщил другое значение</source>
        <translation>Unconfirmed: the connection ended first, or the server reported another value</translation>
    </message>
</context>
</TS>
