<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CommandLine</name>
    <message>
        <source>*Cancel*</source>
        <translation>*取消*</translation>
    </message>
    <message>
        <source>Point or option keyword required.</source>
        <translation>需要点或选项关键字。</translation>
    </message>
    <message>
        <source>Command: </source>
        <translation>命令: </translation>
    </message>
    <message>
        <source>Specify origin of UCS or [World] &lt;World&gt;: </source>
        <translation>指定 UCS 的原点或 [世界(W)] &lt;世界&gt;: </translation>
    </message>
    <message>
        <source>Specify point on X-axis or &lt;Accept&gt;: </source>
        <translation>指定 X 轴上的点或 &lt;接受&gt;: </translation>
    </message>
    <message>
        <source>Enter an option [All/Extents] &lt;Extents&gt;: </source>
        <translation>输入选项 [全部(A)/范围(E)] &lt;范围&gt;: </translation>
    </message>
    <message>
        <source>Enter name of drawing to open: </source>
        <translation>输入要打开的图形名: </translation>
    </message>
    <message>
        <source>Enter script file name: </source>
        <translation>输入脚本文件名: </translation>
    </message>
    <message>
        <source>No drawing is open.</source>
        <translation>没有打开的图形。</translation>
    </message>
    <message>
        <source>Unknown command &quot;%1&quot;.</source>
        <translation>未知命令“%1”。</translation>
    </message>
    <message>
        <source>Invalid option keyword.</source>
        <translation>无效的选项关键字。</translation>
    </message>
    <message>
        <source>Invalid object snap mode.</source>
        <translation>无效的对象捕捉模式。</translation>
    </message>
    <message>
        <source>The point on the X axis must differ from the origin.</source>
        <translation>X 轴上的点不能与原点重合。</translation>
    </message>
    <message>
        <source>OPEN failed: %1</source>
        <translation>OPEN 失败: %1</translation>
    </message>
    <message>
        <source>&lt;Osnap on&gt;</source>
        <translation>&lt;对象捕捉 开&gt;</translation>
    </message>
    <message>
        <source>&lt;Osnap off&gt;</source>
        <translation>&lt;对象捕捉 关&gt;</translation>
    </message>
    <message>
        <source>Cannot run script: %1</source>
        <translation>无法运行脚本: %1</translation>
    </message>
    <message>
        <source>Cannot open %1:
%2</source>
        <translation>无法打开 %1：
%2</translation>
    </message>
    <message>
        <source>Script line %1: %2</source>
        <translation>脚本第 %1 行：%2</translation>
    </message>
    <message>
        <source>opens a DXF drawing (also File &gt; Open, or drop the file on the window)</source>
        <translation>打开 DXF 图形（也可用 文件 &gt; 打开，或把文件拖到窗口上）</translation>
    </message>
    <message>
        <source>feeds the lines of a script file as if typed, one per answer</source>
        <translation>把脚本文件的各行当作键入的内容送入，每行一个回答</translation>
    </message>
    <message>
        <source>sets the user coordinate system: W, or an origin and a point on the X axis</source>
        <translation>设置用户坐标系：W，或原点和 X 轴上的一点</translation>
    </message>
    <message>
        <source>shows the whole drawing</source>
        <translation>显示整个图形</translation>
    </message>
    <message>
        <source>lists these commands</source>
        <translation>列出这些命令</translation>
    </message>
    <message>
        <source>Script stopped at line %1; lines not run: %2.</source>
        <translation>脚本在第 %1 行停止；未执行的行数：%2。</translation>
    </message>
    <message>
        <source>Script line %1 is not a command: it waits for a program&apos;s request (Esc stops the script).</source>
        <translation>脚本第 %1 行不是命令：它等待程序的请求（Esc 停止脚本）。</translation>
    </message>
    <message>
        <source>opens the object snap settings: modes, on or off, aperture</source>
        <translation>打开对象捕捉设置：模式、开或关、靶框大小</translation>
    </message>
    <message>
        <source>chooses the running object snaps: END,MID,CEN,NOD,QUA,INT,PER,NEA or OFF</source>
        <translation>选择执行中的对象捕捉：END,MID,CEN,NOD,QUA,INT,PER,NEA 或 OFF</translation>
    </message>
    <message>
        <source>Enter list of object snap modes [END,MID,CEN,NOD,QUA,INT,PER,NEA,OFF] &lt;%1&gt;: </source>
        <translation>输入对象捕捉模式列表 [END,MID,CEN,NOD,QUA,INT,PER,NEA,OFF] &lt;%1&gt;: </translation>
    </message>
    <message>
        <source>of </source>
        <translation>于 </translation>
    </message>
    <message>
        <source>No %1 found for specified point.</source>
        <translation>指定点处未找到%1。</translation>
    </message>
    <message>
        <source>endpoint</source>
        <translation>端点</translation>
    </message>
    <message>
        <source>node</source>
        <translation>节点</translation>
    </message>
    <message>
        <source>center</source>
        <translation>圆心</translation>
    </message>
    <message>
        <source>intersection</source>
        <translation>交点</translation>
    </message>
    <message>
        <source>midpoint</source>
        <translation>中点</translation>
    </message>
    <message>
        <source>quadrant</source>
        <translation>象限点</translation>
    </message>
    <message>
        <source>perpendicular</source>
        <translation>垂足</translation>
    </message>
    <message>
        <source>nearest</source>
        <translation>最近点</translation>
    </message>
    <message>
        <source>OSNAP off</source>
        <translation>对象捕捉 关</translation>
    </message>
    <message>
        <source>OSNAP: %1</source>
        <translation>对象捕捉：%1</translation>
    </message>
</context>
<context>
    <name>DxfReader</name>
    <message>
        <source>byte offset %1: %2 (%3)</source>
        <translation>字节偏移 %1：%2（%3）</translation>
    </message>
    <message>
        <source>line %1: %2 (%3)</source>
        <translation>第 %1 行：%2（%3）</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1（%2）</translation>
    </message>
    <message>
        <source>the file does not begin with a DXF group code</source>
        <translation>文件开头不是 DXF 组码</translation>
    </message>
    <message>
        <source>the file holds no DXF data</source>
        <translation>文件中没有 DXF 数据</translation>
    </message>
    <message>
        <source>the file does not begin with a SECTION</source>
        <translation>文件开头不是 SECTION</translation>
    </message>
    <message>
        <source>the file ends inside a tag</source>
        <translation>文件在一个标记中间结束</translation>
    </message>
    <message>
        <source>a group code DXF does not define</source>
        <translation>DXF 未定义的组码</translation>
    </message>
    <message>
        <source>a group code that is not a number</source>
        <translation>组码不是数字</translation>
    </message>
    <message>
        <source>the file ends before its EOF marker; the last tag read starts here</source>
        <translation>文件在 EOF 标记之前结束；读到的最后一个标记从这里开始</translation>
    </message>
    <message>
        <source>unknown code page %1; texts that are not UTF-8 were read as Windows-1252</source>
        <translation>未知代码页 %1；非 UTF-8 的文字按 Windows-1252 读取</translation>
    </message>
    <message>
        <source>the header&apos;s UCS is damaged; the world system is used</source>
        <translation>文件头中的 UCS 已损坏；改用世界坐标系</translation>
    </message>
    <message>
        <source>skipped %1: %2</source>
        <translation>跳过 %1 个：%2</translation>
    </message>
    <message>
        <source>skipped %1 %2: %3</source>
        <translation>跳过 %1 个 %2：%3</translation>
    </message>
    <message>
        <source>the file is larger than 4 GiB (%1)</source>
        <translation>文件大于 4 GiB（%1）</translation>
    </message>
    <message>
        <source>cannot open</source>
        <translation>无法打开</translation>
    </message>
    <message>
        <source>not a DXF file</source>
        <translation>不是 DXF 文件</translation>
    </message>
    <message>
        <source>truncated</source>
        <translation>文件不完整</translation>
    </message>
    <message>
        <source>bad group code</source>
        <translation>错误的组码</translation>
    </message>
    <message>
        <source>too large</source>
        <translation>文件过大</translation>
    </message>
    <message>
        <source>entity type not shown</source>
        <translation>不显示的对象类型</translation>
    </message>
    <message>
        <source>polygon mesh</source>
        <translation>多边形网格</translation>
    </message>
    <message>
        <source>polyface mesh</source>
        <translation>多面网格</translation>
    </message>
    <message>
        <source>in paper space</source>
        <translation>位于图纸空间</translation>
    </message>
    <message>
        <source>value that is not a valid number</source>
        <translation>数值无效</translation>
    </message>
    <message>
        <source>polyline without vertices</source>
        <translation>没有顶点的多段线</translation>
    </message>
    <message>
        <source>reference to an undefined block</source>
        <translation>引用了未定义的块</translation>
    </message>
    <message>
        <source>block that inserts itself</source>
        <translation>插入自身的块</translation>
    </message>
    <message>
        <source>array insert, only its first copy kept</source>
        <translation>阵列插入，只保留第一个</translation>
    </message>
    <message>
        <source>entity outside any block definition</source>
        <translation>不在任何块定义中的对象</translation>
    </message>
    <message>
        <source>a group code outside the 0 to 1071 DXF defines</source>
        <translation>组码超出 DXF 定义的 0 到 1071 范围</translation>
    </message>
    <message>
        <source>cannot open %1: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
</context>
<context>
    <name>OpenDocument</name>
    <message>
        <source>Opened %1: %2 entities, %3 skipped.</source>
        <translation>已打开 %1: %2 个对象，跳过 %3 个。</translation>
    </message>
    <message>
        <source>not shown %1: coordinates beyond ±1e20</source>
        <translation>未显示 %1 个：坐标超出 ±1e20</translation>
    </message>
</context>
<context>
    <name>ScriptRunner</name>
    <message>
        <source>script file &quot;%1&quot; is not UTF-8 text</source>
        <translation>脚本文件“%1”不是 UTF-8 文本</translation>
    </message>
    <message>
        <source>cannot open script file &quot;%1&quot;: %2</source>
        <translation>无法打开脚本文件“%1”：%2</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>不是普通文件</translation>
    </message>
    <message>
        <source>cannot read script file &quot;%1&quot;: %2</source>
        <translation>无法读取脚本文件“%1”：%2</translation>
    </message>
</context>
<context>
    <name>Vexilo</name>
    <message>
        <source>Vexilo: picks points and polyline vertices in a running CAD into a numbered coordinate table and exports it as a coordinate report.</source>
        <translation>Vexilo：在运行中的 CAD 里拾取点和多段线顶点，列入带编号的坐标表，并导出为坐标成果表。</translation>
    </message>
    <message>
        <source>Start vexilo-cad beside the window when no CAD is on the session bus.</source>
        <translation>会话总线上没有 CAD 时，在窗口旁启动 vexilo-cad。</translation>
    </message>
    <message>
        <source>takes no file arguments</source>
        <translation>不接受文件参数</translation>
    </message>
</context>
<context>
    <name>VexiloCad</name>
    <message>
        <source>The drawing host of Vexilo: a lean 2D DXF viewer that answers Vexilo&apos;s point and entity requests.</source>
        <translation>Vexilo 的绘图宿主：一个精简的二维 DXF 查看器，响应 Vexilo 的点和对象请求。</translation>
    </message>
    <message>
        <source>Register on the session bus under the programmatic identifier ID (repeatable; default AutoCAD.Application).</source>
        <translation>以程序标识符 ID 在会话总线上注册（可重复；默认为 AutoCAD.Application）。</translation>
    </message>
    <message>
        <source>Feed the lines of FILE (UTF-8) to the command line as if typed, one per answer.</source>
        <translation>把 FILE（UTF-8）的各行像键入一样送入命令行，每行一个应答。</translation>
    </message>
    <message>
        <source>Write every line of the command history to FILE (UTF-8) as it is completed.</source>
        <translation>命令历史的每一行完成时都写入 FILE（UTF-8）。</translation>
    </message>
    <message>
        <source>DXF drawing to open.</source>
        <translation>要打开的 DXF 图形。</translation>
    </message>
    <message>
        <source>one drawing at most</source>
        <translation>最多只能打开一个图形</translation>
    </message>
    <message>
        <source>cannot write the log %1: %2</source>
        <translation>无法写入日志 %1: %2</translation>
    </message>
    <message>
        <source>cannot run script %1</source>
        <translation>无法运行脚本 %1</translation>
    </message>
</context>
<context>
    <name>vexilo::cadhost::AutomationService</name>
    <message>
        <source>no D-Bus session bus: %1</source>
        <translation>没有 D-Bus 会话总线: %1</translation>
    </message>
    <message>
        <source>cannot register the automation objects on the bus</source>
        <translation>无法在总线上注册自动化对象</translation>
    </message>
    <message>
        <source>%1 (%2) is already owned by another program; skipped</source>
        <translation>%1（%2）已被其他程序占用，已跳过</translation>
    </message>
</context>
<context>
    <name>vexilo::cadhost::DrawingView</name>
    <message>
        <source>Endpoint</source>
        <translation>端点</translation>
    </message>
    <message>
        <source>Midpoint</source>
        <translation>中点</translation>
    </message>
    <message>
        <source>Center</source>
        <translation>圆心</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>节点</translation>
    </message>
    <message>
        <source>Intersection</source>
        <translation>交点</translation>
    </message>
    <message>
        <source>No drawing is open.
Open one with File &gt; Open (Ctrl+O), the OPEN command, or drop a .dxf file on this window.</source>
        <translation>没有打开的图形。
用 文件 &gt; 打开(Ctrl+O)、OPEN 命令，或把 .dxf 文件拖到本窗口上来打开。</translation>
    </message>
    <message>
        <source>Quadrant</source>
        <translation>象限点</translation>
    </message>
    <message>
        <source>Perpendicular</source>
        <translation>垂足</translation>
    </message>
    <message>
        <source>Nearest</source>
        <translation>最近点</translation>
    </message>
</context>
<context>
    <name>vexilo::cadhost::MainWindow</name>
    <message>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>打开(&amp;O)...</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>退出(&amp;X)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>视图(&amp;V)</translation>
    </message>
    <message>
        <source>Zoom &amp;Extents</source>
        <translation>范围缩放(&amp;E)</translation>
    </message>
    <message>
        <source>Object &amp;Snap</source>
        <translation>对象捕捉(&amp;S)</translation>
    </message>
    <message>
        <source>Open drawing</source>
        <translation>打开图形</translation>
    </message>
    <message>
        <source>DXF drawings (*.dxf *.DXF)</source>
        <translation>DXF 图形 (*.dxf *.DXF)</translation>
    </message>
    <message>
        <source>UCS: World</source>
        <translation>UCS：世界</translation>
    </message>
    <message>
        <source>UCS: User</source>
        <translation>UCS：用户</translation>
    </message>
    <message>
        <source>Object Snap Se&amp;ttings...</source>
        <translation>对象捕捉设置(&amp;T)...</translation>
    </message>
</context>
<context>
    <name>vexilo::cadhost::SnapSettingsDialog</name>
    <message>
        <source>Object Snap Settings</source>
        <translation>对象捕捉设置</translation>
    </message>
    <message>
        <source>Object snap on (F3)</source>
        <translation>启用对象捕捉 (F3)</translation>
    </message>
    <message>
        <source>Object snap modes</source>
        <translation>对象捕捉模式</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全部选择</translation>
    </message>
    <message>
        <source>Clear All</source>
        <translation>全部清除</translation>
    </message>
    <message>
        <source> px</source>
        <translation> 像素</translation>
    </message>
    <message>
        <source>Half the side of the square around the crosshair in which object snap looks for points.</source>
        <translation>对象捕捉在十字光标周围查找点的方框的半边长。</translation>
    </message>
    <message>
        <source>Aperture size:</source>
        <translation>靶框大小：</translation>
    </message>
</context>
</TS>
