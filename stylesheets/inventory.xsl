<?xml version="1.0" encoding="UTF-8"?>
<!--
  One cvsysinfo inventory as one self-contained HTML page. Run it with
  xsltproc over the inventory, giving the host's name as the string
  parameter "host"; the page goes to standard output.

  Every value of an inventory comes from the host and its containers and is
  untrusted, so values only ever pass through xsl:value-of (escaped by the
  serializer) into text and never into a style, a script, an event handler
  or a link target. The page loads nothing: its style is inline and its
  content security policy forbids every other resource.

  fleet.xsl imports this stylesheet and reuses its named templates.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:exsl="http://exslt.org/common" exclude-result-prefixes="exsl">
  <xsl:output method="html" encoding="UTF-8" indent="no" doctype-system="about:legacy-compat"/>

  <!-- The host's name as the caller knows it; without it, the name the
       host gave itself (the document element's host), when there is one. -->
  <xsl:param name="host" select="''"/>

  <xsl:key name="listed" match="/CVLIN/CVLIST/CT" use="CTID"/>
  <xsl:key name="gathered" match="/CVLIN/CONTAINERS/CT" use="CTID"/>

  <!-- What a resource counter's limit reads when there is none. -->
  <xsl:variable name="unlimited" select="'9223372036854775807'"/>

  <xsl:variable name="nl" select="'&#10;'"/>

  <!-- Characters that XML carries but HTML calls errors in a page: DEL, the
       C1 controls and the noncharacters. Each becomes U+FFFD, as cvsysinfo
       does with what XML cannot carry. -->
  <xsl:variable name="html-bad" select="concat(
      '&#x7F;&#x80;&#x81;&#x82;&#x83;&#x84;&#x85;&#x86;&#x87;&#x88;',
      '&#x89;&#x8A;&#x8B;&#x8C;&#x8D;&#x8E;&#x8F;&#x90;&#x91;&#x92;',
      '&#x93;&#x94;&#x95;&#x96;&#x97;&#x98;&#x99;&#x9A;&#x9B;&#x9C;',
      '&#x9D;&#x9E;&#x9F;&#xFDD0;&#xFDD1;&#xFDD2;&#xFDD3;&#xFDD4;&#xFDD5;&#xFDD6;',
      '&#xFDD7;&#xFDD8;&#xFDD9;&#xFDDA;&#xFDDB;&#xFDDC;&#xFDDD;&#xFDDE;&#xFDDF;&#xFDE0;',
      '&#xFDE1;&#xFDE2;&#xFDE3;&#xFDE4;&#xFDE5;&#xFDE6;&#xFDE7;&#xFDE8;&#xFDE9;&#xFDEA;',
      '&#xFDEB;&#xFDEC;&#xFDED;&#xFDEE;&#xFDEF;&#x1FFFE;&#x1FFFF;&#x2FFFE;&#x2FFFF;&#x3FFFE;',
      '&#x3FFFF;&#x4FFFE;&#x4FFFF;&#x5FFFE;&#x5FFFF;&#x6FFFE;&#x6FFFF;&#x7FFFE;&#x7FFFF;&#x8FFFE;',
      '&#x8FFFF;&#x9FFFE;&#x9FFFF;&#xAFFFE;&#xAFFFF;&#xBFFFE;&#xBFFFF;&#xCFFFE;&#xCFFFF;&#xDFFFE;',
      '&#xDFFFF;&#xEFFFE;&#xEFFFF;&#xFFFFE;&#xFFFFF;&#x10FFFE;&#x10FFFF;')"/>
  <xsl:variable name="html-good" select="concat(
      '&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;',
      '&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;',
      '&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;',
      '&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;',
      '&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;',
      '&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;',
      '&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;',
      '&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;',
      '&#xFFFD;')"/>

  <!-- ===================================================================== -->
  <!-- The page frame, shared with the fleet page                            -->
  <!-- ===================================================================== -->

  <xsl:template name="head">
    <xsl:param name="title"/>
    <head>
      <meta http-equiv="Content-Security-Policy"
            content="default-src 'none'; style-src 'unsafe-inline'; img-src 'none'; form-action 'none'; base-uri 'none'"/>
      <meta name="viewport" content="width=device-width, initial-scale=1"/>
      <title><xsl:value-of select="$title"/></title>
      <style>
body { font: 14px/1.4 "DejaVu Sans", sans-serif; margin: 1.5em; color: #1c2430; background: #fff; }
h1 { font-size: 1.5em; margin: 0 0 .6em; }
h2 { font-size: 1.2em; margin: 1.6em 0 .5em; border-bottom: 2px solid #3a6ea5; padding-bottom: .2em; }
h3 { font-size: 1em; margin: 1em 0 .3em; }
table { border-collapse: collapse; margin: .3em 0 1em; }
th, td { border: 1px solid #c9d3df; padding: .25em .6em; text-align: left; vertical-align: top; }
th { background: #e8eef6; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
tbody tr:nth-child(even) { background: #f6f8fb; }
pre { background: #f4f4f4; border: 1px solid #ddd; padding: .5em; overflow-x: auto; max-height: 30em; white-space: pre; }
details { border: 1px solid #c9d3df; border-radius: 4px; margin: .4em 0; padding: .3em .8em; }
details[open] { background: #fbfcfe; }
summary { cursor: pointer; font-weight: bold; }
dl.facts { display: grid; grid-template-columns: max-content auto; gap: .2em 1.2em; margin: .5em 0; }
dl.facts dt { font-weight: bold; }
dl.facts dd { margin: 0; }
.cards { display: flex; flex-wrap: wrap; gap: 1em; }
.card { border: 1px solid #c9d3df; border-radius: 6px; padding: .6em 1em; min-width: 16em; }
.card h3 { margin-top: 0; }
.big { font-size: 1.8em; font-weight: bold; }
.warn { background: #fff4e0; border: 1px solid #e0a030; border-radius: 4px; padding: .4em 1em; }
.warn li { margin: .2em 0; }
.state-running { color: #1d7a2e; font-weight: bold; }
.state-stopped, .state-unknown { color: #9a2a2a; }
.state-suspended, .state-mounted { color: #8a6400; }
.port + .port::before { content: ", "; }
.muted { color: #6b7785; }
.change-added { color: #1d7a2e; font-weight: bold; }
.change-removed { color: #9a2a2a; font-weight: bold; }
.change-changed { color: #8a6400; }
      </style>
    </head>
  </xsl:template>

  <!-- ===================================================================== -->
  <!-- One inventory                                                          -->
  <!-- ===================================================================== -->

  <xsl:template match="/">
    <xsl:variable name="page">
      <xsl:call-template name="inventory-page"/>
    </xsl:variable>
    <xsl:apply-templates select="exsl:node-set($page)/node()" mode="clean"/>
  </xsl:template>

  <!-- The finished page, copied with every text and attribute cleaned of
       what HTML refuses. -->
  <xsl:template match="*" mode="clean">
    <xsl:element name="{name()}">
      <xsl:apply-templates select="@*|node()" mode="clean"/>
    </xsl:element>
  </xsl:template>
  <xsl:template match="@*" mode="clean">
    <xsl:attribute name="{name()}"><xsl:value-of select="translate(., $html-bad, $html-good)"/></xsl:attribute>
  </xsl:template>
  <xsl:template match="text()" mode="clean">
    <xsl:value-of select="translate(., $html-bad, $html-good)"/>
  </xsl:template>

  <xsl:template name="inventory-page">
    <xsl:variable name="name">
      <xsl:choose>
        <xsl:when test="$host != ''"><xsl:value-of select="$host"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="CVLIN/@host"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="title">
      <xsl:text>Inventory</xsl:text>
      <xsl:if test="$name != ''">
        <xsl:text> of </xsl:text>
        <xsl:value-of select="$name"/>
      </xsl:if>
      <xsl:if test="CVLIN/@time != ''">
        <xsl:text> at </xsl:text>
        <xsl:value-of select="CVLIN/@time"/>
      </xsl:if>
      <xsl:if test="CVLIN/@version != ''">
        <xsl:text> (kit </xsl:text>
        <xsl:value-of select="CVLIN/@version"/>
        <xsl:text>)</xsl:text>
      </xsl:if>
    </xsl:variable>
    <html lang="en">
      <xsl:call-template name="head">
        <xsl:with-param name="title" select="$title"/>
      </xsl:call-template>
      <body>
        <h1><xsl:value-of select="$title"/></h1>
        <xsl:choose>
          <xsl:when test="CVLIN">
            <xsl:apply-templates select="CVLIN"/>
          </xsl:when>
          <xsl:otherwise>
            <p class="warn">This is not an inventory: its document element is
              <code><xsl:value-of select="name(*)"/></code>, not CVLIN.</p>
          </xsl:otherwise>
        </xsl:choose>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="CVLIN">
    <xsl:variable name="warnings">
      <xsl:call-template name="warnings"/>
    </xsl:variable>
    <xsl:if test="string($warnings) != ''">
      <section id="warnings" class="warn">
        <h2>Warnings</h2>
        <ul><xsl:copy-of select="$warnings"/></ul>
      </section>
    </xsl:if>
    <xsl:call-template name="host-summary"/>
    <xsl:call-template name="container-table"/>
    <xsl:call-template name="container-details"/>
    <xsl:call-template name="templates"/>
    <xsl:call-template name="host-details"/>
  </xsl:template>

  <!-- Warnings about CVLIN, as li elements: a section that could not be
       gathered, a container whose state is unknown or that the platform's
       table disagrees on, a file that could not be read, a resource counter
       that failed or nearly runs out, a cluster or check that reports
       trouble; and how masked values read, so that a reader does not take
       them for broken ones. -->
  <xsl:template name="warnings">
    <xsl:variable name="cts" select="CONTAINERS/CT[CTID != '0']"/>
    <xsl:if test="not(CONTAINERS/CT)">
      <li>The containers section is empty: the container list could not be read.</li>
    </xsl:if>
    <xsl:if test="not(CVLIST/CT) and $cts">
      <li>The platform's container table (cvlist) is empty.</li>
    </xsl:if>
    <xsl:if test="not(NODE/*)">
      <li>The node section is empty.</li>
    </xsl:if>
    <xsl:if test="NODE/hardware and not(NODE/hardware/*)">
      <li>The hardware (CPU and memory) could not be read.</li>
    </xsl:if>
    <xsl:if test="NODE/TOTAL_CT and NODE/TOTAL_CT != count($cts)">
      <li>The node counts <xsl:value-of select="NODE/TOTAL_CT"/> containers, the containers section lists
        <xsl:value-of select="count($cts)"/>.</li>
    </xsl:if>
    <xsl:for-each select="$cts[not(STATE)]">
      <li>The state of container <xsl:value-of select="CTID"/> could not be read.</li>
    </xsl:for-each>
    <xsl:for-each select="$cts/IoStat[starts-with(., 'Unable to open file')] | $cts/Resources[starts-with(., 'Unable to open file')] | NODE/VESTAT[starts-with(., 'Unable to open file')]">
      <li>
        <xsl:if test="../CTID">Container <xsl:value-of select="../CTID"/>: </xsl:if>
        <xsl:value-of select="."/>
      </li>
    </xsl:for-each>
    <xsl:for-each select="NODE/tessel/*[@status and @status != 'healthy']">
      <li>Cluster storage <xsl:value-of select="@name"/> is <xsl:value-of select="@status"/>.</li>
    </xsl:for-each>
    <xsl:for-each select="NODE/*[@result and @result != 'ok']">
      <li>The check <xsl:value-of select="name()"/> reports <xsl:value-of select="@result"/>.</li>
    </xsl:for-each>
    <xsl:for-each select="NODE/high-availability//node[@alive = 'no']">
      <li>High-availability node <xsl:value-of select="@name"/> is not alive.</li>
    </xsl:for-each>
    <xsl:for-each select="$cts/Resources[not(starts-with(., 'Unable to open file'))]">
      <xsl:call-template name="each-line">
        <xsl:with-param name="text" select="."/>
        <xsl:with-param name="what" select="'resource'"/>
        <xsl:with-param name="arg" select="../CTID"/>
      </xsl:call-template>
    </xsl:for-each>
    <xsl:call-template name="listing-warnings"/>
    <xsl:if test="(CONTAINERS/CT/CONF//* | NODE/CONF//*)[not(*) and contains(., '.') and translate(., '.;', '') = '']">
      <li>Personal configuration values (host names, addresses, owners, passwords) are masked: in such
        a value each run of characters other than ";" is written as one "." and each ";" is kept, so
        "." is a masked value and ".;." a masked list of two.</li>
    </xsl:if>
  </xsl:template>

  <!-- The platform's table against the containers gathered: a container it
       lists that was not gathered (1 is never gathered), or one whose
       status there is not the state gathered. With no containers gathered
       at all, the warning of the empty section says it for each. -->
  <xsl:template name="listing-warnings">
    <xsl:for-each select="CVLIST/CT[CTID != '0' and CTID != '1'][current()/CONTAINERS/CT]">
      <xsl:variable name="gathered" select="key('gathered', CTID)[1]"/>
      <xsl:choose>
        <xsl:when test="not($gathered)">
          <li>Container <xsl:value-of select="CTID"/> is listed in the platform's container table, not in
            the containers section.</li>
        </xsl:when>
        <xsl:when test="STATUS != '' and $gathered/STATE and string(STATUS) != string($gathered/STATE)">
          <li>Container <xsl:value-of select="CTID"/> is <xsl:value-of select="STATUS"/> in the platform's
            container table but <xsl:value-of select="$gathered/STATE"/> in the containers section.</li>
        </xsl:when>
      </xsl:choose>
    </xsl:for-each>
  </xsl:template>

  <!-- One row of a container's resource counters (ROW: resource held
       maxheld barrier limit failcnt, the uid field gone) as warnings: it
       failed, or it holds 90% of its limit or more. A limit of 0 or of
       $unlimited is none. -->
  <xsl:template name="resource-row">
    <xsl:param name="row"/>
    <xsl:param name="ctid"/>
    <xsl:variable name="name" select="substring-before($row, ' ')"/>
    <xsl:variable name="f2" select="substring-after($row, ' ')"/>
    <xsl:variable name="held" select="substring-before($f2, ' ')"/>
    <xsl:variable name="f5" select="substring-after(substring-after(substring-after($f2, ' '), ' '), ' ')"/>
    <xsl:variable name="limit" select="substring-before($f5, ' ')"/>
    <xsl:variable name="failcnt" select="substring-before(concat(substring-after($f5, ' '), ' '), ' ')"/>
    <xsl:if test="string(number($held)) != 'NaN' and string(number($failcnt)) != 'NaN'">
      <xsl:if test="number($failcnt) &gt; 0">
        <li>Container <xsl:value-of select="$ctid"/>: the resource <xsl:value-of select="$name"/> failed
          <xsl:value-of select="$failcnt"/> times (failcnt).</li>
      </xsl:if>
      <xsl:if test="$limit != $unlimited and number($limit) &gt; 0 and number($held) * 10 &gt;= number($limit) * 9">
        <li>Container <xsl:value-of select="$ctid"/>: the resource <xsl:value-of select="$name"/> holds
          <xsl:value-of select="$held"/> of its limit <xsl:value-of select="$limit"/>
          (<xsl:value-of select="floor(number($held) * 100 div number($limit))"/>%).</li>
      </xsl:if>
    </xsl:if>
  </xsl:template>

  <!-- ===================================================================== -->
  <!-- The host summary                                                        -->
  <!-- ===================================================================== -->

  <xsl:template name="total-containers">
    <xsl:choose>
      <xsl:when test="NODE/TOTAL_CT"><xsl:value-of select="NODE/TOTAL_CT"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="count(CONTAINERS/CT[CTID != '0'])"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="running-containers">
    <xsl:choose>
      <xsl:when test="NODE/RUNNING_CT"><xsl:value-of select="NODE/RUNNING_CT"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="count(CONTAINERS/CT[CTID != '0'][STATE = 'running'])"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="host-summary">
    <section id="summary">
      <h2>Host</h2>
      <div class="cards">
        <div class="card" id="summary-containers">
          <h3>Containers</h3>
          <span class="big" id="total"><xsl:call-template name="total-containers"/></span> total,
          <span class="big" id="running"><xsl:call-template name="running-containers"/></span> running
        </div>
        <div class="card" id="summary-cpu">
          <h3>CPU and memory</h3>
          <xsl:variable name="cpu" select="NODE/hardware/cpu"/>
          <dl class="facts">
            <dt>Memory</dt>
            <dd>
              <xsl:choose>
                <xsl:when test="string(NODE/hardware/ram) != ''">
                  <xsl:call-template name="size"><xsl:with-param name="value" select="NODE/hardware/ram"/></xsl:call-template>
                </xsl:when>
                <xsl:otherwise><span class="muted">unknown</span></xsl:otherwise>
              </xsl:choose>
            </dd>
            <dt>Processors</dt>
            <dd><xsl:call-template name="or-unknown"><xsl:with-param name="value" select="$cpu/logical"/></xsl:call-template> logical</dd>
            <dt>Layout</dt>
            <dd>
              <xsl:choose>
                <xsl:when test="$cpu/layout">
                  <xsl:value-of select="concat($cpu/layout/sockets, ' sockets × ', $cpu/layout/cores-per-socket,
                                        ' cores × ', $cpu/layout/threads-per-core, ' threads')"/>
                </xsl:when>
                <xsl:otherwise><span class="muted">unknown</span></xsl:otherwise>
              </xsl:choose>
            </dd>
            <dt>Model</dt>
            <dd><xsl:call-template name="or-unknown"><xsl:with-param name="value" select="$cpu/model-name"/></xsl:call-template></dd>
            <dt>NUMA nodes</dt>
            <dd><xsl:call-template name="or-unknown"><xsl:with-param name="value" select="NODE/hardware/numa/nodes"/></xsl:call-template></dd>
          </dl>
        </div>
        <div class="card" id="summary-storage">
          <h3>Storage</h3>
          <dl class="facts">
            <dt>Volume groups</dt>
            <dd>
              <xsl:for-each select="NODE/lvm/groups/group">
                <div><xsl:value-of select="VG"/>:
                  <xsl:call-template name="size"><xsl:with-param name="value" select="VFree"/></xsl:call-template> free of
                  <xsl:call-template name="size"><xsl:with-param name="value" select="VSize"/></xsl:call-template></div>
              </xsl:for-each>
              <xsl:if test="not(NODE/lvm/groups/group)"><span class="muted">none</span></xsl:if>
            </dd>
            <dt>Software RAID</dt>
            <dd>
              <xsl:for-each select="NODE/software_raid/device">
                <div><xsl:value-of select="name"/>
                  <xsl:if test="MD_LEVEL">: <xsl:value-of select="MD_LEVEL"/>, <xsl:value-of select="MD_DEVICES"/> devices</xsl:if>
                </div>
              </xsl:for-each>
              <xsl:if test="not(NODE/software_raid/device)"><span class="muted">none</span></xsl:if>
            </dd>
            <dt>BIOS RAID</dt>
            <dd>
              <xsl:for-each select="NODE/dmraid/sets/set">
                <div><xsl:value-of select="raidname"/>: <xsl:value-of select="type"/>, <xsl:value-of select="status"/></div>
              </xsl:for-each>
              <xsl:if test="not(NODE/dmraid/sets/set)"><span class="muted">none</span></xsl:if>
            </dd>
            <dt>Hdimg devices</dt>
            <dd>
              <xsl:for-each select="NODE/Hdimgs/*">
                <span class="port"><xsl:value-of select="name()"/></span>
              </xsl:for-each>
              <xsl:if test="not(NODE/Hdimgs/*)"><span class="muted">none</span></xsl:if>
            </dd>
          </dl>
        </div>
        <div class="card" id="summary-cluster">
          <h3>Cluster</h3>
          <dl class="facts">
            <dt>Cluster storage</dt>
            <dd>
              <xsl:for-each select="NODE/tessel/*">
                <div><xsl:value-of select="@name"/>: <xsl:value-of select="@status"/></div>
              </xsl:for-each>
              <xsl:if test="not(NODE/tessel/*)"><span class="muted">none</span></xsl:if>
            </dd>
            <dt>High availability</dt>
            <dd>
              <xsl:for-each select="NODE/high-availability//node">
                <div><xsl:value-of select="@name"/>: alive <xsl:value-of select="@alive"/>
                  <xsl:if test="../@master = @name"> (master)</xsl:if>
                </div>
              </xsl:for-each>
              <xsl:if test="not(NODE/high-availability//node)"><span class="muted">none</span></xsl:if>
            </dd>
          </dl>
        </div>
      </div>
      <xsl:call-template name="usage">
        <xsl:with-param name="title" select="'Memory usage'"/>
        <xsl:with-param name="text" select="NODE/MemoryUsage"/>
        <xsl:with-param name="what" select="'mem-row'"/>
      </xsl:call-template>
      <xsl:call-template name="usage">
        <xsl:with-param name="title" select="'Disk usage'"/>
        <xsl:with-param name="text" select="NODE/DiskSpaceUsage"/>
        <xsl:with-param name="what" select="'df-row'"/>
      </xsl:call-template>
    </section>
  </xsl:template>

  <!-- free's or df's listing as a table of sizes in the page's unit style;
       a listing with a line that does not read as theirs (df wraps a long
       device name onto a line of its own) stays as it stands, as does one
       too long for a table to help. -->
  <xsl:template name="usage">
    <xsl:param name="title"/>
    <xsl:param name="text"/>
    <xsl:param name="what"/>
    <xsl:if test="$text">
      <xsl:variable name="lines" select="string-length($text) - string-length(translate($text, $nl, ''))
                                         + number(substring($text, string-length($text)) != $nl)"/>
      <xsl:variable name="rows">
        <xsl:if test="$lines &lt;= 1000">
          <xsl:call-template name="each-line">
            <xsl:with-param name="text" select="$text"/>
            <xsl:with-param name="what" select="$what"/>
          </xsl:call-template>
        </xsl:if>
      </xsl:variable>
      <h3><xsl:value-of select="$title"/></h3>
      <xsl:choose>
        <xsl:when test="count(exsl:node-set($rows)/tr) + number($what = 'df-row') = $lines">
          <table class="usage">
            <xsl:if test="$what = 'df-row'">
              <thead><tr><th>Filesystem</th><th>Size</th><th>Used</th><th>Available</th><th>Use%</th><th>Mounted on</th></tr></thead>
            </xsl:if>
            <tbody><xsl:copy-of select="$rows"/></tbody>
          </table>
        </xsl:when>
        <xsl:otherwise><pre><xsl:value-of select="$text"/></pre></xsl:otherwise>
      </xsl:choose>
    </xsl:if>
  </xsl:template>

  <!-- Each blank-separated word of WORDS as a cell: a header cell, or a size
       in KiB. -->
  <xsl:template name="cells">
    <xsl:param name="words"/>
    <xsl:param name="header"/>
    <xsl:if test="$words != ''">
      <xsl:variable name="word" select="substring-before(concat($words, ' '), ' ')"/>
      <xsl:choose>
        <xsl:when test="$header"><th><xsl:value-of select="$word"/></th></xsl:when>
        <xsl:otherwise>
          <td class="num"><xsl:call-template name="kib"><xsl:with-param name="value" select="$word"/></xsl:call-template></td>
        </xsl:otherwise>
      </xsl:choose>
      <xsl:call-template name="cells">
        <xsl:with-param name="words" select="substring-after($words, ' ')"/>
        <xsl:with-param name="header" select="$header"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <xsl:template name="or-unknown">
    <xsl:param name="value"/>
    <xsl:choose>
      <xsl:when test="string($value) != ''"><xsl:value-of select="$value"/></xsl:when>
      <xsl:otherwise><span class="muted">unknown</span></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- ===================================================================== -->
  <!-- The containers                                                          -->
  <!-- ===================================================================== -->

  <xsl:template name="container-table">
    <section>
      <h2>Containers</h2>
      <xsl:choose>
        <xsl:when test="CONTAINERS/CT[CTID != '0']">
          <table id="containers">
            <thead>
              <tr><th>ID</th><th>State</th><th>Processes</th><th>Disk used</th><th>Disk free</th>
                <th>Open ports</th><th>Docker</th><th>Packages</th></tr>
            </thead>
            <tbody>
              <xsl:for-each select="CONTAINERS/CT[CTID != '0']">
                <xsl:variable name="state">
                  <xsl:choose>
                    <xsl:when test="STATE"><xsl:value-of select="STATE"/></xsl:when>
                    <xsl:otherwise>unknown</xsl:otherwise>
                  </xsl:choose>
                </xsl:variable>
                <tr>
                  <td class="num"><xsl:value-of select="CTID"/></td>
                  <td class="state-{translate($state, translate($state, 'abcdefghijklmnopqrstuvwxyz', ''), '')}"><xsl:value-of select="$state"/></td>
                  <td class="num"><xsl:value-of select="key('listed', CTID)[1]/NPROC"/></td>
                  <td class="num">
                    <xsl:call-template name="kib"><xsl:with-param name="value" select="DiskSpace[1]/Used"/></xsl:call-template>
                  </td>
                  <td class="num">
                    <xsl:call-template name="kib"><xsl:with-param name="value" select="DiskSpace[1]/Avail"/></xsl:call-template>
                  </td>
                  <td>
                    <xsl:call-template name="each-line">
                      <xsl:with-param name="text" select="Ports"/>
                      <xsl:with-param name="what" select="'port'"/>
                    </xsl:call-template>
                  </td>
                  <td>
                    <xsl:choose>
                      <xsl:when test="Docker/Version">yes</xsl:when>
                      <xsl:when test="Docker">no</xsl:when>
                      <xsl:otherwise><span class="muted">not asked</span></xsl:otherwise>
                    </xsl:choose>
                  </td>
                  <td class="num"><xsl:value-of select="count(InstalledSoftware/Package)"/></td>
                </tr>
              </xsl:for-each>
            </tbody>
          </table>
        </xsl:when>
        <xsl:otherwise><p class="muted">No containers.</p></xsl:otherwise>
      </xsl:choose>
    </section>
  </xsl:template>

  <!-- A number of 1024-byte blocks (what df -P prints), in a readable unit;
       anything else as it stands. -->
  <xsl:template name="kib">
    <xsl:param name="value"/>
    <xsl:variable name="n" select="number($value)"/>
    <xsl:choose>
      <xsl:when test="string($value) = ''"/>
      <xsl:when test="string($n) = 'NaN'"><xsl:value-of select="$value"/></xsl:when>
      <xsl:when test="$n &gt;= 1073741824"><xsl:value-of select="format-number($n div 1073741824, '0.0')"/> TiB</xsl:when>
      <xsl:when test="$n &gt;= 1048576"><xsl:value-of select="format-number($n div 1048576, '0.0')"/> GiB</xsl:when>
      <xsl:when test="$n &gt;= 1024"><xsl:value-of select="format-number($n div 1024, '0.0')"/> MiB</xsl:when>
      <xsl:otherwise><xsl:value-of select="$n"/> KiB</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A size with its unit ("64401 MB" as the hardware gives it, in units of
       1024 KiB; "278.00g" as lvm gives it) in the unit style of kib;
       anything else as it stands. -->
  <xsl:template name="size">
    <xsl:param name="value"/>
    <xsl:variable name="v" select="normalize-space($value)"/>
    <xsl:variable name="n" select="number(normalize-space(translate($v, 'kmgtpKMGTPiB', '')))"/>
    <xsl:variable name="unit" select="translate($v, '0123456789. ', '')"/>
    <xsl:variable name="kib">
      <xsl:choose>
        <xsl:when test="$unit = 'k' or $unit = 'KB' or $unit = 'KiB'">1</xsl:when>
        <xsl:when test="$unit = 'm' or $unit = 'MB' or $unit = 'MiB'">1024</xsl:when>
        <xsl:when test="$unit = 'g' or $unit = 'GB' or $unit = 'GiB'">1048576</xsl:when>
        <xsl:when test="$unit = 't' or $unit = 'TB' or $unit = 'TiB'">1073741824</xsl:when>
        <xsl:when test="$unit = 'p' or $unit = 'PB' or $unit = 'PiB'">1099511627776</xsl:when>
      </xsl:choose>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="$kib != '' and string($n) != 'NaN'">
        <xsl:call-template name="kib"><xsl:with-param name="value" select="$n * $kib"/></xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$value"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Runs the line template WHAT over every line of TEXT. Halving the text
       keeps the recursion shallow, since a listing may have thousands of
       lines and the processor limits how deep templates may call. -->
  <xsl:template name="each-line">
    <xsl:param name="text"/>
    <xsl:param name="what"/>
    <xsl:param name="arg" select="''"/>
    <xsl:variable name="len" select="string-length($text)"/>
    <xsl:choose>
      <xsl:when test="$len = 0"/>
      <xsl:when test="$len &gt; 512 and contains(substring($text, floor($len div 2) + 1), $nl)">
        <xsl:variable name="tail" select="substring($text, floor($len div 2) + 1)"/>
        <xsl:call-template name="each-line">
          <xsl:with-param name="text" select="concat(substring($text, 1, floor($len div 2)), substring-before($tail, $nl))"/>
          <xsl:with-param name="what" select="$what"/>
          <xsl:with-param name="arg" select="$arg"/>
        </xsl:call-template>
        <xsl:call-template name="each-line">
          <xsl:with-param name="text" select="substring-after($tail, $nl)"/>
          <xsl:with-param name="what" select="$what"/>
          <xsl:with-param name="arg" select="$arg"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="contains($text, $nl)">
        <xsl:call-template name="line">
          <xsl:with-param name="line" select="normalize-space(substring-before($text, $nl))"/>
          <xsl:with-param name="what" select="$what"/>
          <xsl:with-param name="arg" select="$arg"/>
        </xsl:call-template>
        <xsl:call-template name="each-line">
          <xsl:with-param name="text" select="substring-after($text, $nl)"/>
          <xsl:with-param name="what" select="$what"/>
          <xsl:with-param name="arg" select="$arg"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="line">
          <xsl:with-param name="line" select="normalize-space($text)"/>
          <xsl:with-param name="what" select="$what"/>
          <xsl:with-param name="arg" select="$arg"/>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- One line, its blanks collapsed. 'port': a listening socket of netstat
       -anlp, as PROTO/PORT. 'df-avail': the available blocks of the df line
       whose mount point is ARG. 'mem-free': the free memory of free's Mem
       line. 'mem-row' and 'df-row': a table row of free's or df's listing.
       'resource': the warnings of a resource counter's row of
       container ARG (the first row of a table starts with "UID:"). -->
  <xsl:template name="line">
    <xsl:param name="line"/>
    <xsl:param name="what"/>
    <xsl:param name="arg"/>
    <xsl:variable name="f2" select="substring-after($line, ' ')"/>
    <xsl:variable name="f3" select="substring-after($f2, ' ')"/>
    <xsl:variable name="f4" select="substring-after($f3, ' ')"/>
    <xsl:variable name="field4" select="substring-before(concat($f4, ' '), ' ')"/>
    <xsl:choose>
      <xsl:when test="$what = 'port'">
        <xsl:variable name="proto" select="substring-before($line, ' ')"/>
        <xsl:if test="(starts-with($proto, 'tcp') and contains($line, ' LISTEN')) or starts-with($proto, 'udp')">
          <span class="port">
            <xsl:value-of select="$proto"/>/<xsl:call-template name="after-last">
              <xsl:with-param name="text" select="$field4"/>
              <xsl:with-param name="sep" select="':'"/>
            </xsl:call-template>
          </span>
        </xsl:if>
      </xsl:when>
      <xsl:when test="$what = 'resource'">
        <xsl:variable name="first" select="substring-before(concat($line, ' '), ' ')"/>
        <xsl:call-template name="resource-row">
          <xsl:with-param name="row">
            <xsl:choose>
              <xsl:when test="substring($first, string-length($first)) = ':'"><xsl:value-of select="$f2"/></xsl:when>
              <xsl:otherwise><xsl:value-of select="$line"/></xsl:otherwise>
            </xsl:choose>
          </xsl:with-param>
          <xsl:with-param name="ctid" select="$arg"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="$what = 'mem-row'">
        <!-- Few columns only: cells recurse once a word. -->
        <xsl:variable name="words" select="string-length($line) - string-length(translate($line, ' ', ''))"/>
        <xsl:variable name="first" select="substring-before($line, ' ')"/>
        <xsl:if test="$words &lt; 12 and starts-with($line, 'total ')">
          <tr><th></th><xsl:call-template name="cells"><xsl:with-param name="words" select="$line"/><xsl:with-param name="header" select="true()"/></xsl:call-template></tr>
        </xsl:if>
        <xsl:if test="$words &lt; 12 and substring($first, string-length($first)) = ':'
                      and string(number(translate($f2, ' ', ''))) != 'NaN'">
          <tr><th><xsl:value-of select="$first"/></th><xsl:call-template name="cells"><xsl:with-param name="words" select="$f2"/></xsl:call-template></tr>
        </xsl:if>
      </xsl:when>
      <xsl:when test="$what = 'df-row'">
        <xsl:variable name="f5" select="substring-after($f4, ' ')"/>
        <xsl:if test="string(number(substring-before($f2, ' '))) != 'NaN' and string(number(substring-before($f3, ' '))) != 'NaN'
                      and string(number($field4)) != 'NaN' and contains($f5, ' ')">
          <tr>
            <td><xsl:value-of select="substring-before($line, ' ')"/></td>
            <xsl:call-template name="cells"><xsl:with-param name="words" select="concat(substring-before($f2, ' '), ' ', substring-before($f3, ' '), ' ', $field4)"/></xsl:call-template>
            <td class="num"><xsl:value-of select="substring-before($f5, ' ')"/></td>
            <td><xsl:value-of select="substring-after($f5, ' ')"/></td>
          </tr>
        </xsl:if>
      </xsl:when>
      <xsl:when test="$what = 'mem-free' and starts-with($line, 'Mem:')">
        <xsl:value-of select="$field4"/>
      </xsl:when>
      <xsl:when test="$what = 'df-avail'">
        <xsl:variable name="mount">
          <xsl:call-template name="after-last">
            <xsl:with-param name="text" select="$line"/>
            <xsl:with-param name="sep" select="' '"/>
          </xsl:call-template>
        </xsl:variable>
        <xsl:if test="$mount = $arg and string(number($field4)) != 'NaN'">
          <xsl:value-of select="$field4"/>
        </xsl:if>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="after-last">
    <xsl:param name="text"/>
    <xsl:param name="sep"/>
    <xsl:choose>
      <xsl:when test="contains($text, $sep)">
        <xsl:call-template name="after-last">
          <xsl:with-param name="text" select="substring-after($text, $sep)"/>
          <xsl:with-param name="sep" select="$sep"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$text"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="container-details">
    <xsl:if test="CONTAINERS/CT[CTID != '0']">
      <section id="details">
        <h2>Container details</h2>
        <xsl:apply-templates select="CONTAINERS/CT[CTID != '0']" mode="details"/>
      </section>
    </xsl:if>
  </xsl:template>

  <xsl:template match="CT" mode="details">
    <details id="ct-{translate(CTID, translate(CTID, '0123456789', ''), '')}">
      <summary>
        Container <xsl:value-of select="CTID"/> —
        <xsl:choose>
          <xsl:when test="STATE"><xsl:value-of select="STATE"/></xsl:when>
          <xsl:otherwise>state unknown</xsl:otherwise>
        </xsl:choose>
      </summary>
      <xsl:if test="CONF">
        <h3>Configuration</h3>
        <xsl:apply-templates select="CONF"/>
      </xsl:if>
      <xsl:if test="CtRoot or DiskSpace or Inodes">
        <h3>Disk</h3>
        <dl class="facts">
          <dt>Root</dt><dd><xsl:call-template name="or-unknown"><xsl:with-param name="value" select="CtRoot"/></xsl:call-template></dd>
        </dl>
        <table>
          <thead><tr><th></th><th>Size</th><th>Used</th><th>Available</th></tr></thead>
          <tbody>
            <xsl:for-each select="DiskSpace">
              <tr><th>Space</th>
                <td class="num"><xsl:call-template name="kib"><xsl:with-param name="value" select="Size"/></xsl:call-template></td>
                <td class="num"><xsl:call-template name="kib"><xsl:with-param name="value" select="Used"/></xsl:call-template></td>
                <td class="num"><xsl:call-template name="kib"><xsl:with-param name="value" select="Avail"/></xsl:call-template></td></tr>
            </xsl:for-each>
            <xsl:for-each select="Inodes">
              <tr><th>Inodes</th><td class="num"><xsl:value-of select="Count"/></td>
                <td class="num"><xsl:value-of select="IUsed"/></td><td class="num"><xsl:value-of select="IFree"/></td></tr>
            </xsl:for-each>
          </tbody>
        </table>
      </xsl:if>
      <xsl:call-template name="pre"><xsl:with-param name="title" select="'Processes'"/><xsl:with-param name="text" select="AllProcesses"/></xsl:call-template>
      <xsl:call-template name="pre"><xsl:with-param name="title" select="'Network sockets'"/><xsl:with-param name="text" select="Ports"/></xsl:call-template>
      <xsl:call-template name="pre"><xsl:with-param name="title" select="'Services'"/><xsl:with-param name="text" select="Services"/></xsl:call-template>
      <xsl:call-template name="pre"><xsl:with-param name="title" select="'Resources'"/><xsl:with-param name="text" select="Resources"/></xsl:call-template>
      <xsl:call-template name="pre"><xsl:with-param name="title" select="'Disk I/O'"/><xsl:with-param name="text" select="IoStat"/></xsl:call-template>
      <xsl:apply-templates select="Docker[*]"/>
      <xsl:if test="InstalledSoftware/Package">
        <h3>Packages (<xsl:value-of select="count(InstalledSoftware/Package)"/>)</h3>
        <table class="packages">
          <thead><tr><th>Name</th><th>Architecture</th><th>Version</th><th>Description</th></tr></thead>
          <tbody>
            <xsl:for-each select="InstalledSoftware/Package">
              <tr><td><xsl:value-of select="@name"/></td><td><xsl:value-of select="@arch"/></td>
                <td><xsl:value-of select="@evr"/></td><td><xsl:value-of select="@description"/></td></tr>
            </xsl:for-each>
          </tbody>
        </table>
      </xsl:if>
    </details>
  </xsl:template>

  <xsl:template name="pre">
    <xsl:param name="title"/>
    <xsl:param name="text"/>
    <xsl:if test="$text">
      <h3><xsl:value-of select="$title"/></h3>
      <pre><xsl:value-of select="$text"/></pre>
    </xsl:if>
  </xsl:template>

  <xsl:template match="Docker">
    <h3>Docker</h3>
    <dl class="facts">
      <dt>Version</dt><dd><xsl:value-of select="Version"/></dd>
      <xsl:for-each select="*[not(*) and not(self::Version)]">
        <dt><xsl:value-of select="name()"/></dt><dd><xsl:value-of select="."/></dd>
      </xsl:for-each>
      <dt>Docker containers</dt><dd><xsl:value-of select="count(Containers/CT)"/></dd>
    </dl>
    <xsl:if test="Images/Image">
      <table>
        <thead><tr><th>Image</th><th>Tag</th></tr></thead>
        <tbody>
          <xsl:for-each select="Images/Image">
            <tr><td><xsl:value-of select="Repository"/></td><td><xsl:value-of select="Tag"/></td></tr>
          </xsl:for-each>
        </tbody>
      </table>
    </xsl:if>
  </xsl:template>

  <!-- A KEY=value file, groups flattened to GROUP.KEY. -->
  <xsl:template match="CONF">
    <table class="conf">
      <tbody>
        <xsl:for-each select="*">
          <xsl:choose>
            <xsl:when test="*">
              <xsl:variable name="group" select="name()"/>
              <xsl:for-each select="*">
                <tr><th><xsl:value-of select="concat($group, '.', name())"/></th><td><xsl:value-of select="."/></td></tr>
              </xsl:for-each>
            </xsl:when>
            <xsl:otherwise>
              <tr><th><xsl:value-of select="name()"/></th><td><xsl:value-of select="."/></td></tr>
            </xsl:otherwise>
          </xsl:choose>
        </xsl:for-each>
      </tbody>
    </table>
  </xsl:template>

  <!-- ===================================================================== -->
  <!-- Templates and the rest of the host                                      -->
  <!-- ===================================================================== -->

  <xsl:template name="templates">
    <section>
      <h2>Templates</h2>
      <xsl:choose>
        <xsl:when test="CVTEMPLATES/TEMPLATE">
          <table id="templates">
            <thead>
              <tr><th>Name</th><th>OS</th><th>Version</th><th>Architecture</th><th>Summary</th>
                <th>Timestamp</th><th>OS template</th><th>Cached</th></tr>
            </thead>
            <tbody>
              <xsl:for-each select="CVTEMPLATES/TEMPLATE">
                <tr>
                  <td><xsl:value-of select="Name"/></td>
                  <td><xsl:value-of select="OSName"/></td>
                  <td><xsl:value-of select="OSVersion"/></td>
                  <td><xsl:value-of select="Architecture"/></td>
                  <td><xsl:value-of select="Summary"/></td>
                  <td><xsl:value-of select="Timestamp"/></td>
                  <td><xsl:call-template name="flag"><xsl:with-param name="value" select="IsOsTemplate"/></xsl:call-template></td>
                  <td><xsl:call-template name="flag"><xsl:with-param name="value" select="IsCached"/></xsl:call-template></td>
                </tr>
              </xsl:for-each>
            </tbody>
          </table>
        </xsl:when>
        <xsl:otherwise><p class="muted">No templates.</p></xsl:otherwise>
      </xsl:choose>
    </section>
  </xsl:template>

  <xsl:template name="flag">
    <xsl:param name="value"/>
    <xsl:choose>
      <xsl:when test="not($value)"/>
      <xsl:when test="$value = '0'">no</xsl:when>
      <xsl:otherwise>yes</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="host-details">
    <section id="host-details">
      <h2>Host details</h2>
      <xsl:if test="CONTAINERS/CT[CTID = '0']/CONF">
        <details>
          <summary>Platform configuration</summary>
          <xsl:apply-templates select="CONTAINERS/CT[CTID = '0']/CONF"/>
        </details>
      </xsl:if>
      <xsl:if test="CVLIST/CT">
        <details>
          <summary>Platform container table</summary>
          <table id="cvlist">
            <thead><tr><xsl:for-each select="CVLIST/CT[1]/*"><th><xsl:value-of select="name()"/></th></xsl:for-each></tr></thead>
            <tbody>
              <xsl:for-each select="CVLIST/CT">
                <tr><xsl:for-each select="*"><td><xsl:value-of select="."/></td></xsl:for-each></tr>
              </xsl:for-each>
            </tbody>
          </table>
        </details>
      </xsl:if>
      <xsl:for-each select="NODE/*[not(self::TOTAL_CT or self::RUNNING_CT or self::MemoryUsage or self::DiskSpaceUsage)]">
        <details>
          <summary><xsl:value-of select="name()"/></summary>
          <xsl:apply-templates select="." mode="tree"/>
        </details>
      </xsl:for-each>
    </section>
  </xsl:template>

  <!-- Any element as a nested list: its name, attributes and text. -->
  <xsl:template match="*" mode="tree">
    <xsl:choose>
      <xsl:when test="self::CONF"><xsl:apply-templates select="."/></xsl:when>
      <xsl:when test="not(*) and not(@*) and contains(., $nl)">
        <pre><xsl:value-of select="."/></pre>
      </xsl:when>
      <xsl:otherwise>
        <ul>
          <xsl:for-each select="@*">
            <li><b><xsl:value-of select="name()"/></b>: <xsl:value-of select="."/></li>
          </xsl:for-each>
          <xsl:for-each select="*|text()[normalize-space()]">
            <li>
              <xsl:choose>
                <xsl:when test="self::text()"><xsl:value-of select="."/></xsl:when>
                <xsl:when test="not(*) and not(@*) and not(contains(., $nl))">
                  <b><xsl:value-of select="name()"/></b>: <xsl:value-of select="."/>
                </xsl:when>
                <xsl:otherwise>
                  <b><xsl:value-of select="name()"/></b>
                  <xsl:apply-templates select="." mode="tree"/>
                </xsl:otherwise>
              </xsl:choose>
            </li>
          </xsl:for-each>
        </ul>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
